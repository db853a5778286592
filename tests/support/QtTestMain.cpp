// Runs the tests inside a QApplication, as the applet's code expects one.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTemporaryDir>

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt wants a private runtime folder; CI machines may have none.
    QTemporaryDir runtime;
    if (qgetenv("XDG_RUNTIME_DIR").isEmpty()) qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
