#include "about/LinkLabel.h"
#include "about/frmAbout.h"
#include "shell/opener.h"
#include "shell/shellapi.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

std::vector<QString> Texts(const frmAbout& b)
{
    return {b.windowTitle(), b.Label1->text(),  b.Label2->text(),  b.Label17->text(), b.Label25->text(),
            b.lblURL->text(), b.Label26->text(), b.lblMail->text(), b.Command1->text()};
}

TEST(About, TextsFontAndLinksAndEnterAndEscCloseEachOpeningAlike)
{
    frmAbout box{QIcon()};
    EXPECT_EQ(Texts(box), (std::vector<QString>{"Kelvo", "Kelvo v1.2", QString::fromUtf8("\u00a9 2026 the Kelvo developers"),
                                               "For the latest news and updates to Kelvo, check", "my homepage:",
                                               "https://kelvo.example.org/", "Mail me for support, feature requests, etc.: ",
                                               "support@kelvo.example.org", "Close"}));
    EXPECT_DOUBLE_EQ(box.Label1->font().pointSizeF(), 8.25);
    for (QLabel* label : box.findChildren<QLabel*>()) {  // a wider stand-in font cuts nothing off, the legal line too
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
    }
    for (QLabel* link : std::initializer_list<QLabel*>{box.lblURL, box.lblMail}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->cursor().hotSpot(), QPoint(5, 1));
    }

    // A click opens the caption of the moment; the box stays open, also when nothing can open it.
    std::vector<std::string> opened;
    const shell::Opener previous = shell::SetOpener([&](const std::string& target) {
        opened.push_back(target);
        return opened.size() < 3;
    });
    box.show();
    box.lblURL->setText(QStringLiteral("https://elsewhere.example.org/"));
    for (LinkLabel* link : {box.lblURL, box.lblMail, box.lblURL})
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_EQ(opened, (std::vector<std::string>{"https://elsewhere.example.org/", "mailto:support@kelvo.example.org",
                                                "https://elsewhere.example.org/"}));
    EXPECT_TRUE(box.isVisible());

    // Nothing else is a click: a press released off the link, a release with no press on it, the right button.
    opened.clear();
    QTest::mousePress(box.lblMail, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseRelease(box.lblMail, Qt::LeftButton, {}, QPoint(-4, 3));
    QTest::mouseRelease(box.lblMail, Qt::LeftButton, {}, QPoint(3, 3));
    QTest::mouseClick(box.lblMail, Qt::RightButton, {}, QPoint(3, 3));
    EXPECT_TRUE(opened.empty());

    // ShellExecuteA's documented answers: above 32 is success, 32 and below an error code. The
    // opener succeeds twice more, then fails.
    const auto code = [](const char* verb, const char* target) {
        return reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, verb, target, nullptr, nullptr, 1));
    };
    opened.clear();
    EXPECT_TRUE(code(nullptr, "https://kelvo.example.org/") > 32 && code("open", "mailto:someone@example.org") > 32);
    EXPECT_EQ(std::vector<std::intptr_t>({code("print", "x:"), code(nullptr, ""), code(nullptr, "x:")}),
              (std::vector<std::intptr_t>{SE_ERR_NOASSOC, SE_ERR_FNF, SE_ERR_NOASSOC}));
    shell::SetOpener(previous);

    // Enter and Esc close it, and each opening shows the same texts.
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        std::vector<QString> seen;
        QTimer::singleShot(0, [&] {
            auto* modal = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            EXPECT_NE(modal, nullptr);
            if (!modal) return QApplication::activeModalWidget()->close(), void();
            EXPECT_EQ(modal->parentWidget(), nullptr);
            EXPECT_EQ(modal->focusWidget(), modal->Command1);
            seen = Texts(*modal);
            QTest::keyClick(modal->Command1, Qt::Key(key));
        });
        frmAbout::ShowModal(QIcon());  // returns once the key has closed it
        EXPECT_EQ(seen, Texts(frmAbout{QIcon()})) << key;
    }
}

}  // namespace
