#include "settings/frmPrefs.h"

#include "base/EventGuard.h"
#include "common/LeadingNumber.h"
#include "settings/FittingFont.h"
#include "settings/StoredSettings.h"
#include "user/message_box.h"
#include "user/taskbar.h"
#include "user/twips.h"
#include "user/window_table.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QWindow>

#include <algorithm>

namespace {

constexpr const char* kInvalidTitle = "Invalid rate";
constexpr const char* kTooLowText = "The sampling rate cannot be set this low.  Enter a value higher than 15";
constexpr const char* kTooHighText = "The sampling rate cannot be set this high.  Enter a value lower than 32768";

// The up-down control: pixels, range and position as the dialog asks for them.
constexpr SHORT kSpinWidth = 20;
constexpr SHORT kSpinHeight = 30;
constexpr SHORT kSpinUpper = 500;
constexpr SHORT kSpinLower = 15;

QScreen* ScreenOf(const QWidget* window)
{
    QScreen* screen = window ? window->screen() : nullptr;
    return screen ? screen : QGuiApplication::primaryScreen();
}

QLabel* MakeLabel(QWidget* parent, const char* text, QRect geometry, bool wraps)
{
    auto* label = new QLabel(QString::fromLatin1(text), parent);
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(wraps);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setGeometry(geometry);
    return label;
}

QPushButton* MakeButton(QWidget* parent, const char* text, QRect geometry)
{
    auto* button = new QPushButton(QString::fromLatin1(text), parent);
    // No default button: Enter means nothing to the dialog as a whole.
    button->setAutoDefault(false);
    button->setGeometry(geometry);
    return button;
}

}  // namespace

frmPrefs::frmPrefs(Owner owner)
    : QDialog(owner.window, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      owner_(std::move(owner))
{
    const double dpi = user::LogicalDpi();
    setWindowTitle(QStringLiteral("Kelvo Preferences"));
    setFixedSize(user::TwipsToPixels(4815, dpi), user::TwipsToPixels(2625, dpi));

    Label1 = MakeLabel(this, "&Sampling rate", user::TwipsRect(180, 225, 960, 195), false);
    txtFreq = new QLineEdit(this);
    txtFreq->setGeometry(user::TwipsRect(1290, 180, 735, 285));
    Label2 = MakeLabel(this,
                       "Note: Higher sampling rates produce a much better waveform, but cause the applet to respond "
                       "slowly to mouse and keyboard actions.  Adjust the rate to a level where the waveform is "
                       "acceptable and the applet performs correctly.",
                       user::TwipsRect(180, 540, 4455, 825), true);
    Label3 = MakeLabel(this,
                       "A value less than 100 (preferably around 30 to 45) produces a very good waveform, but will "
                       "require a mid to high specification Pentium processor for best results.",
                       user::TwipsRect(180, 1440, 4455, 585), true);
    Command1 = MakeButton(this, "Ok", user::TwipsRect(1500, 2130, 1005, 345));
    Command2 = MakeButton(this, "Cancel", user::TwipsRect(2580, 2130, 1005, 345));
    Command3 = MakeButton(this, "&Apply", user::TwipsRect(3660, 2130, 1005, 345));
    Command3->setEnabled(false);
    // The design's boxes are fixed; the desktop's font is fitted to them.
    std::vector<kelvo::TextBox> texts;
    for (const QLabel* label : {Label1, Label2, Label3}) {
        texts.push_back({label->text(), label->size(), label->wordWrap()});
    }
    for (const QPushButton* button : {Command1, Command2, Command3}) {
        texts.push_back({button->text(), button->size() - QSize(8, 6), false});
    }
    setFont(kelvo::FittingFont(font(), texts));
    // The label's access key leads to the box it names.
    Label1->setBuddy(txtFreq);
    setTabOrder(Command1, Command2);
    setTabOrder(Command2, Command3);
    setTabOrder(Command3, txtFreq);
    Command1->setFocus();

    connect(txtFreq, &QLineEdit::textChanged, this, [this] { Command3->setEnabled(true); });
    connect(Command1, &QPushButton::clicked, this, [this] {
        kelvo::GuardEvent("Ok", [this] { ApplyRate(); });
        accept();
    });
    connect(Command2, &QPushButton::clicked, this, &QDialog::reject);
    connect(Command3, &QPushButton::clicked, this, [this] { kelvo::GuardEvent("Apply", [this] { ApplyRate(); }); });
}

frmPrefs::~frmPrefs() = default;

void frmPrefs::ShowModal(Owner owner)
{
    // The owner may go while the dialog is open, and takes the dialog along.
    const QPointer<frmPrefs> dialog = new frmPrefs(std::move(owner));
    struct Unload {
        const QPointer<frmPrefs>& dialog;
        ~Unload() { delete dialog.data(); }
    } unload{dialog};
    dialog->Form_Load();
    dialog->CentreOnOwner();
    user::KeepOffTaskbar(dialog);
    dialog->exec();
}

void frmPrefs::Form_Load()
{
    if (!oUpDown) oUpDown = std::make_unique<UpDown>();
    oUpDown->Create(user::RegisterWindow(this), 0, 0, kSpinWidth, kSpinHeight, user::RegisterWindow(txtFreq), 0,
                    kSpinUpper, kSpinLower, 0, true, true);
    ShowRate();
    Command3->setEnabled(false);
}

void frmPrefs::ShowRate()
{
    txtFreq->setText(QString::number(owner_.RefreshInterval()));
}

void frmPrefs::ApplyRate()
{
    const LeadingInt16 rate = ReadLeadingInt16(txtFreq->text().toStdString());
    if (rate.fit == LeadingInt16::Fit::Above) {
        MessageBoxA(user::RegisterWindow(this), kTooHighText, kInvalidTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (rate.fit == LeadingInt16::Fit::Below || rate.value < kMinimumInterval) {
        MessageBoxA(user::RegisterWindow(this), kTooLowText, kInvalidTitle, MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    owner_.SetRefreshInterval(rate.value);
    Command3->setEnabled(false);
}

void frmPrefs::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Escape:
        // No cancel button: Esc means nothing here.
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Only a focused button takes Enter, as its own click.
        if (auto* button = qobject_cast<QPushButton*>(focusWidget()); button && button->isEnabled()) button->click();
        event->accept();
        return;
    default: QDialog::keyPressEvent(event);
    }
}

void frmPrefs::CentreOnOwner()
{
    QScreen* screen = ScreenOf(owner_.window);
    const QRect area = screen ? screen->availableGeometry() : QRect(QPoint(0, 0), size());
    // The frame counts too, where the platform knows it before the dialog is shown.
    create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    QRect client(QPoint(0, 0), size());
    client.moveCenter(owner_.window ? owner_.window->geometry().center() : area.center());
    QRect placed = client.marginsAdded(frame);
    // Kept on the screen, as near the owner's centre as that allows.
    placed.moveLeft(std::clamp(placed.left(), area.left(), std::max(area.left(), area.right() + 1 - placed.width())));
    placed.moveTop(std::clamp(placed.top(), area.top(), std::max(area.top(), area.bottom() + 1 - placed.height())));
    move(placed.topLeft());
}
