// The preferences dialog offscreen, over an owner that records the interval.
#include "settings/frmPrefs.h"

#include "user/message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

constexpr const char* kTooLow = "The sampling rate cannot be set this low.  Enter a value higher than 15";
constexpr const char* kTooHigh = "The sampling rate cannot be set this high.  Enter a value lower than 32768";

class PrefsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        user::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, UINT type) {
            boxes.push_back(caption + "|" + std::to_string(type) + "|" + text);
            return IDOK;
        });
    }
    void TearDown() override { user::SetMessageBoxHandler({}); }

    frmPrefs::Owner Owner()
    {
        return {owner.get(), [this] { return interval; }, [this](std::int16_t value) { interval = value; }};
    }

    static void Press(QWidget* focused, Qt::Key key)
    {
        focused->setFocus();
        QTest::keyClick(focused, key);
    }

    static std::string Refused(const char* text) { return std::string("Invalid rate|48|") + text; }

    // Opens the dialog modally, runs `act` on it, and reports whether it was
    // still open afterwards (it is then closed).
    bool StaysOpenAfter(const std::function<void(frmPrefs&)>& act)
    {
        bool open = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = owner->findChild<frmPrefs*>();
            ASSERT_NE(dialog, nullptr);
            EXPECT_TRUE(dialog->isModal());
            act(*dialog);
            open = dialog->isVisible();
            dialog->reject();
        });
        frmPrefs::ShowModal(Owner());
        EXPECT_EQ(owner->findChild<frmPrefs*>(), nullptr) << "the dialog is gone once closed";
        return open;
    }

    std::unique_ptr<QWidget> owner = std::make_unique<QWidget>();
    std::int16_t interval = 150;
    std::vector<std::string> boxes;
};

TEST_F(PrefsTest, TheDesignIsLaidOutFromTwips)
{
    frmPrefs dialog(Owner());
    dialog.Form_Load();
    EXPECT_EQ(dialog.windowTitle(), "Kelvo Preferences");
    EXPECT_EQ(dialog.size(), QSize(321, 175));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize()) << "not resizable";
    EXPECT_EQ(dialog.windowType(), Qt::Tool);
    EXPECT_TRUE(dialog.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(dialog.windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(dialog.parentWidget(), owner.get());

    const struct {
        QWidget* control;
        QString text;
        QRect geometry;
    } controls[] = {
        {dialog.Label1, "&Sampling rate", {12, 15, 64, 13}},
        {dialog.txtFreq, "150", {86, 12, 29, 19}},  // 49 wide, less the up-down control's 20
        {dialog.Label2, "", {12, 36, 297, 55}},
        {dialog.Label3, "", {12, 96, 297, 39}},
        {dialog.Command1, "Ok", {100, 142, 67, 23}},
        {dialog.Command2, "Cancel", {172, 142, 67, 23}},
        {dialog.Command3, "&Apply", {244, 142, 67, 23}},
    };
    for (const auto& c : controls) {
        EXPECT_EQ(c.control->geometry(), c.geometry) << c.control->metaObject()->className();
        if (!c.text.isEmpty()) {
            EXPECT_EQ(c.control->property("text").toString(), c.text);
        }
    }
    EXPECT_TRUE(dialog.Label2->text().startsWith("Note: Higher sampling rates produce a much better waveform"));
    EXPECT_TRUE(dialog.Label2->wordWrap());
    EXPECT_TRUE(dialog.Label3->text().endsWith("mid to high specification Pentium processor for best results."));
    EXPECT_TRUE(dialog.Label3->wordWrap());
    EXPECT_EQ(dialog.Label1->buddy(), dialog.txtFreq);
    EXPECT_FALSE(dialog.Command3->isEnabled()) << "the dialog opens with Apply disabled";
    for (QPushButton* button : {dialog.Command1, dialog.Command2, dialog.Command3}) {
        EXPECT_FALSE(button->isDefault() || button->autoDefault()) << "no default button";
    }

    // Tab order: Ok, Cancel, (Apply, when enabled), the text box.
    dialog.Command3->setEnabled(true);
    QWidget* at = dialog.Command1;
    std::vector<QWidget*> order;
    for (int i = 0; i < 4; ++i) {
        do at = at->nextInFocusChain();
        while (at->focusPolicy() == Qt::NoFocus);
        order.push_back(at);
    }
    EXPECT_EQ(order, (std::vector<QWidget*>{dialog.Command2, dialog.Command3, dialog.txtFreq, dialog.Command1}));
}

TEST_F(PrefsTest, ApplyTakesTheLeadingNumberFrom15Upwards)
{
    frmPrefs dialog(Owner());
    dialog.Form_Load();
    QTest::keyClick(dialog.txtFreq, Qt::Key_Up);
    EXPECT_EQ(dialog.txtFreq->text(), "151");
    EXPECT_TRUE(dialog.Command3->isEnabled()) << "any change enables Apply";

    const struct {
        const char* text;
        int interval;        // after Apply
        const char* refusal;  // the box's text, or nullptr
    } cases[] = {
        {"151", 151, nullptr},   {"15", 15, nullptr},     {"14", 15, kTooLow},      {"14.5", 15, kTooLow},
        {"14.6", 15, nullptr},   {"15.5", 16, nullptr},   {"", 16, kTooLow},        {"rate", 16, kTooLow},
        {"1 5", 15, nullptr},    {"20 ms", 20, nullptr},  {"2000", 2000, nullptr},  {"-40000", 2000, kTooLow},
        {"99999", 2000, kTooHigh}, {"1e10", 2000, kTooHigh}, {"32767", 32767, nullptr},
    };
    for (const auto& c : cases) {
        boxes.clear();
        dialog.txtFreq->setText(QString::fromLatin1(c.text));
        dialog.Command3->click();
        EXPECT_EQ(interval, c.interval) << c.text;
        EXPECT_EQ(dialog.txtFreq->text(), c.text) << "the text stays as typed";
        EXPECT_EQ(dialog.Command3->isEnabled(), c.refusal != nullptr) << c.text;
        EXPECT_EQ(boxes, c.refusal ? std::vector<std::string>{Refused(c.refusal)} : std::vector<std::string>{})
            << c.text;
    }
}

TEST_F(PrefsTest, OkCancelAndTheCloseBoxEndTheDialogEnterAndEscDoNot)
{
    const struct {
        const char* what;
        const char* typed;
        std::function<void(frmPrefs&)> act;
        bool staysOpen;
        int interval;
        std::size_t boxes;
    } cases[] = {
        {"Ok", "45", [](frmPrefs& d) { d.Command1->click(); }, false, 45, 0},
        {"Ok refused", "10", [](frmPrefs& d) { d.Command1->click(); }, false, 45, 1},
        {"Cancel", "60", [](frmPrefs& d) { d.Command2->click(); }, false, 45, 0},
        {"close box", "60", [](frmPrefs& d) { d.close(); }, false, 45, 0},
        {"Apply, Cancel", "30", [](frmPrefs& d) { d.Command3->click(); d.Command2->click(); }, false, 30, 0},
        {"Esc", "60", [](frmPrefs& d) { Press(d.txtFreq, Qt::Key_Escape); }, true, 30, 0},
        {"Enter", "60", [](frmPrefs& d) { Press(d.txtFreq, Qt::Key_Return); }, true, 30, 0},
        {"Enter on Ok", "60", [](frmPrefs& d) { Press(d.Command1, Qt::Key_Return); }, false, 60, 0},
    };
    for (const auto& c : cases) {
        boxes.clear();
        const bool open = StaysOpenAfter([&](frmPrefs& d) {
            EXPECT_EQ(d.txtFreq->text().toInt(), interval) << c.what << ": opens on the current interval";
            EXPECT_FALSE(d.Command3->isEnabled());
            d.txtFreq->setText(QString::fromLatin1(c.typed));
            c.act(d);
        });
        EXPECT_EQ(open, c.staysOpen) << c.what;
        EXPECT_EQ(interval, c.interval) << c.what;
        EXPECT_EQ(boxes.size(), c.boxes) << c.what;
    }
}

}  // namespace
