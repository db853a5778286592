#include "about/LinkLabel.h"
#include "about/LinkPointer.h"
#include "about/frmAbout.h"
#include "shell/opener.h"
#include "user/twips.h"

#include <QApplication>
#include <QFontInfo>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class About : public ::testing::Test {
protected:
    void SetUp() override
    {
        previous = shell::SetOpener([this](const std::string& target) {
            opened.push_back(target);
            return openerSucceeds;
        });
        box.show();
    }
    void TearDown() override { shell::SetOpener(previous); }

    static void Click(QWidget* w)
    {
        const QPointF at(2, 2);
        QMouseEvent press(QEvent::MouseButtonPress, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
        QMouseEvent release(QEvent::MouseButtonRelease, at, w->mapToGlobal(at), Qt::LeftButton, {}, {});
        QApplication::sendEvent(w, &press);
        QApplication::sendEvent(w, &release);
    }

    static std::vector<QString> Texts(const frmAbout& b)
    {
        return {b.windowTitle(), b.Label1->text(),  b.Label2->text(),  b.Label17->text(), b.Label25->text(),
                b.lblURL->text(), b.Label26->text(), b.lblMail->text(), b.Command1->text()};
    }

    shell::Opener previous;
    std::vector<std::string> opened;
    bool openerSucceeds = true;
    frmAbout box{QIcon()};
};

TEST_F(About, ShowsItsTextsInItsFontAndOnlyCloseTakesTheFocus)
{
    EXPECT_EQ(Texts(box), (std::vector<QString>{"Kelvo", "Kelvo v1.2", QString::fromUtf8("\u00a9 2026 the Kelvo developers"),
                                               "For the latest news and updates to Kelvo, check", "my homepage:",
                                               "https://kelvo.example.org/",
                                               "Mail me for support, feature requests, etc.: ",
                                               "support@kelvo.example.org", "Close"}));
    EXPECT_FALSE(box.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_TRUE(box.Command1->isDefault());

    QFont sansSerif;
    sansSerif.setStyleHint(QFont::SansSerif);
    sansSerif.setFamily(QStringLiteral("sans-serif"));
    const QFontInfo used(box.Label1->font());
    EXPECT_TRUE(used.family() == "MS Sans Serif" || used.family() == QFontInfo(sansSerif).family()) << used.family().toStdString();
    EXPECT_DOUBLE_EQ(box.Label1->font().pointSizeF(), 8.25);

    for (QWidget* w : box.findChildren<QWidget*>()) {
        EXPECT_EQ(w->focusPolicy() != Qt::NoFocus, w == box.Command1) << w->metaObject()->className();
        if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty()) {
            EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->width()) << label->text().toStdString();
            EXPECT_TRUE(box.rect().contains(label->geometry()));
        }
    }
    const int legalWidth = user::TwipsToPixels(2460, user::LogicalDpi());
    EXPECT_LE(box.Label2->fontMetrics().horizontalAdvance(box.Label2->text()), legalWidth);
}

TEST_F(About, LinksAreBlueUnderlinedWithTheHandPointer)
{
    for (QLabel* link : {static_cast<QLabel*>(box.lblURL), static_cast<QLabel*>(box.lblMail)}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_TRUE(link->font().underline());
        EXPECT_EQ(link->cursor().hotSpot(), QPoint(5, 1));
        EXPECT_EQ(link->cursor().pixmap().size(), QSize(32, 32));
    }
    const QImage hand = kelvo::LinkPointerImage();
    EXPECT_EQ(qAlpha(hand.pixel(5, 1)), 255) << "the finger tip is the hot spot";
    EXPECT_EQ(qAlpha(hand.pixel(31, 0)), 0);
}

TEST_F(About, ALinkClickOpensTheCaptionAndLeavesTheBoxOpen)
{
    Click(box.lblURL);
    Click(box.lblMail);
    openerSucceeds = false;  // nothing can open it: no message, still open
    box.lblURL->setText(QStringLiteral("https://elsewhere.example.org/"));
    Click(box.lblURL);
    EXPECT_EQ(opened, (std::vector<std::string>{"https://kelvo.example.org/", "mailto:support@kelvo.example.org",
                                                "https://elsewhere.example.org/"}));
    EXPECT_TRUE(box.isVisible());
    EXPECT_EQ(QApplication::topLevelWidgets().count(), 1);
}

TEST_F(About, EnterAndEscClose)
{
    for (int key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
        frmAbout another{QIcon()};
        another.show();
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
        QApplication::sendEvent(another.Command1, &press);
        EXPECT_FALSE(another.isVisible()) << key;
    }
}

TEST_F(About, OpensModallyWithoutOwnerAndTheSameTextsEachTime)
{
    std::vector<std::vector<QString>> seen;
    for (int opening = 0; opening < 2; ++opening) {
        QTimer::singleShot(0, [&] {
            auto* modal = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
            if (!modal) return;
            EXPECT_EQ(modal->parentWidget(), nullptr);
            seen.push_back(Texts(*modal));
            modal->Command1->click();
        });
        frmAbout::ShowModal(QIcon());
    }
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], seen[1]);
    EXPECT_EQ(seen[0], Texts(box));
}

}  // namespace
