// The preferences dialog offscreen, over an owner that records the interval.
#include "settings/frmPrefs.h"

#include "user/message_box.h"

#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

namespace {

constexpr const char* kTooLow = "The sampling rate cannot be set this low.  Enter a value higher than 15";
constexpr const char* kTooHigh = "The sampling rate cannot be set this high.  Enter a value lower than 32768";

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        user::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, UINT type) {
            return boxes.push_back(caption + "|" + std::to_string(type) + "|" + text), IDOK;
        });
    }
    void TearDown() override { user::SetMessageBoxHandler({}); }

    frmPrefs::Owner Owner()
    {
        return {owner.get(), [this] { return interval; }, [this](std::int16_t value) { interval = value; }};
    }

    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    std::int16_t interval = 150;
    std::vector<std::string> boxes;
};

TEST_F(PrefsTest, ApplyTakesTheLeadingNumberFrom15Upwards)
{
    frmPrefs d(Owner());
    d.Form_Load();
    EXPECT_TRUE(d.windowTitle() == "Kelvo Preferences" && d.size() == QSize(321, 175) && d.windowType() == Qt::Tool);
    EXPECT_EQ(d.txtFreq->geometry(), QRect(86, 12, 33, 19)) << "(1290, 180) 735 x 285 twips, less the up-down's 16";
    EXPECT_EQ(d.Command3->geometry(), QRect(244, 142, 67, 23));
    // It opens on the interval with Apply disabled: the modal cases below check that each time.
    QTest::keyClick(d.txtFreq, Qt::Key_Up);
    EXPECT_TRUE(d.txtFreq->text() == "151" && d.Command3->isEnabled()) << "any change enables Apply";

    const std::tuple<const char*, int, const char*> cases[] = {
        // the number reader has its own table; here the bounds, after rounding
        {"151", 151, nullptr},   {"15", 15, nullptr},        {"14", 15, kTooLow},       {"14.6", 15, nullptr},
        {"", 15, kTooLow},       {"20 ms", 20, nullptr},     {"-40000", 20, kTooLow},   {"99999", 20, kTooHigh},
    };
    for (const auto& [text, after, refusal] : cases) {
        boxes.clear();
        d.txtFreq->setText(text);
        d.Command3->click();
        EXPECT_TRUE(interval == after && d.txtFreq->text() == text && d.Command3->isEnabled() == !!refusal) << text;
        EXPECT_EQ(boxes, refusal ? std::vector<std::string>{std::string("Invalid rate|48|") + refusal}
                                 : std::vector<std::string>{}) << text;
    }
}

// Each opening also checks where the dialog opens: centred on the window
// wherever it was moved; near an edge, all of it on the screen.
TEST_F(PrefsTest, OkCancelAndTheCloseBoxEndTheDialogEnterAndEscDoNotAndItOpensOverTheWindow)
{
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    const QPoint places[] = {area.topLeft() + QPoint(300, 250), area.bottomRight() - QPoint(60, 40), QPoint(-90, -70)};
    const auto press = [](QWidget* focused, Qt::Key key) { focused->setFocus(), QTest::keyClick(focused, key); };
    const std::tuple<const char*, const char*, std::function<void(frmPrefs&)>, bool, int, std::size_t> cases[] = {
        // what, typed, then, stays open, interval after, boxes
        {"Ok", "45", [](frmPrefs& d) { d.Command1->click(); }, false, 45, 0},
        {"Ok refused", "10", [](frmPrefs& d) { d.Command1->click(); }, false, 45, 1},
        {"Cancel", "60", [](frmPrefs& d) { d.Command2->click(); }, false, 45, 0},
        {"close box", "60", [](frmPrefs& d) { d.close(); }, false, 45, 0},
        {"Apply, Cancel", "30", [](frmPrefs& d) { d.Command3->click(), d.Command2->click(); }, false, 30, 0},
        {"Esc", "60", [&](frmPrefs& d) { press(d.txtFreq, Qt::Key_Escape); }, true, 30, 0},
        {"Enter", "60", [&](frmPrefs& d) { press(d.txtFreq, Qt::Key_Return); }, true, 30, 0},
        {"Enter on Ok", "60", [&](frmPrefs& d) { press(d.Command1, Qt::Key_Return); }, false, 60, 0},
    };
    int row = 0;
    for (const auto& [what, typed, act, staysOpen, after, boxCount] : cases) {
        boxes.clear();
        bool open = false;
        owner->setGeometry(QRect(places[row++ % 3], QSize(200, 100)));
        QRect client, frame;
        QTimer::singleShot(0, [&] {
            frmPrefs* d = owner->findChild<frmPrefs*>();
            ASSERT_TRUE(d && d->isModal() && d->txtFreq->text().toInt() == interval && !d->Command3->isEnabled());
            client = d->geometry(), frame = d->frameGeometry();
            d->txtFreq->setText(typed);
            act(*d);
            open = d->isVisible();
            d->reject();
        });
        frmPrefs::ShowModal(Owner());
        EXPECT_TRUE(open == staysOpen && interval == after && boxes.size() == boxCount) << what;
        EXPECT_EQ(owner->findChild<frmPrefs*>(), nullptr) << what << ": gone once closed";
        if (area.contains(owner->geometry()))
            EXPECT_LE((client.center() - owner->geometry().center()).manhattanLength(), 1) << what;
        else EXPECT_TRUE(frame.bottomRight() == area.bottomRight() || frame.topLeft() == area.topLeft()) << what;
        EXPECT_TRUE(area.contains(frame)) << what;
    }
}

}  // namespace
