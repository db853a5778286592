#include "about/LinkLabel.h"
#include "about/frmAbout.h"
#include "shell/opener.h"
#include "shell/shellapi.h"
#include "user/twips.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

std::vector<QString> Texts(const frmAbout& b)
{
    return {b.windowTitle(), b.Label1->text(),  b.Label2->text(),  b.Label17->text(), b.Label25->text(),
            b.lblURL->text(), b.Label26->text(), b.lblMail->text(), b.Command1->text()};
}

TEST(About, TextsFontAndLinks)
{
    frmAbout box{QIcon()};
    EXPECT_EQ(Texts(box), (std::vector<QString>{"Kelvo", "Kelvo v1.2", QString::fromUtf8("\u00a9 2026 the Kelvo developers"),
                                               "For the latest news and updates to Kelvo, check", "my homepage:",
                                               "https://kelvo.example.org/", "Mail me for support, feature requests, etc.: ",
                                               "support@kelvo.example.org", "Close"}));
    const QString family = QFontInfo(box.Label1->font()).family();
    EXPECT_TRUE(family == "MS Sans Serif" || family == QFontInfo(QFont("sans-serif")).family()) << family.toStdString();
    EXPECT_DOUBLE_EQ(box.Label1->font().pointSizeF(), 8.25);
    EXPECT_LE(box.Label2->fontMetrics().horizontalAdvance(box.Label2->text()), user::TwipsToPixels(2460, user::LogicalDpi()));
    // A wider stand-in font widens the layout rather than cutting texts off.
    for (QLabel* label : box.findChildren<QLabel*>()) {
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
    }
    for (QLabel* link : std::initializer_list<QLabel*>{box.lblURL, box.lblMail}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->cursor().hotSpot(), QPoint(5, 1));
        EXPECT_EQ(qAlpha(link->cursor().pixmap().toImage().pixel(5, 1)), 255) << "the finger tip";
    }
}

TEST(About, LinksOpenTheirCaptionsThroughTheShellAndTheBoxStaysOpen)
{
    std::vector<std::string> opened;
    bool succeed = true;
    const shell::Opener previous = shell::SetOpener([&](const std::string& target) {
        opened.push_back(target);
        return succeed;
    });
    frmAbout box{QIcon()};
    box.show();
    const auto click = [](QWidget* w) {
        for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
            QMouseEvent e(type, QPointF(2, 2), w->mapToGlobal(QPointF(2, 2)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, {});
            QApplication::sendEvent(w, &e);
        }
    };
    click(box.lblURL);
    click(box.lblMail);
    succeed = false;  // nothing can open it: no message either
    box.lblURL->setText(QStringLiteral("https://elsewhere.example.org/"));
    click(box.lblURL);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://kelvo.example.org/", "mailto:support@kelvo.example.org",
                                                "https://elsewhere.example.org/"}));
    EXPECT_TRUE(box.isVisible());
    const auto code = [](const char* verb, const char* file) {
        return reinterpret_cast<std::intptr_t>(ShellExecuteA(nullptr, verb, file, nullptr, nullptr, SW_SHOWNORMAL));
    };
    EXPECT_EQ(code(nullptr, "x:"), SE_ERR_NOASSOC);
    EXPECT_EQ(code("print", "x:"), SE_ERR_NOASSOC);
    EXPECT_EQ(code(nullptr, ""), SE_ERR_FNF);
    succeed = true;
    EXPECT_GT(code("open", "x:"), 32);
    shell::SetOpener(previous);
}

TEST(About, EnterAndEscCloseAndEachOpeningShowsTheSameTexts)
{
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        std::vector<QString> seen;
        QTimer::singleShot(0, [&] {
            auto* modal = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            EXPECT_TRUE(modal && !modal->parentWidget() && modal->focusWidget() == modal->Command1);
            if (!modal) return QApplication::activeModalWidget()->close(), void();
            seen = Texts(*modal);
            QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
            QApplication::sendEvent(modal->Command1, &press);
        });
        frmAbout::ShowModal(QIcon());  // returns once the key has closed it
        EXPECT_EQ(seen, Texts(frmAbout{QIcon()})) << key;
    }
}

}  // namespace
