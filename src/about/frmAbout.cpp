#include "about/frmAbout.h"

#include "about/LinkLabel.h"
#include "shell/shellapi.h"
#include "user/taskbar.h"
#include "user/twips.h"
#include "user/window_table.h"

#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

// The designed font; where it is missing, the desktop's sans-serif at the
// same size stands in.
QFont DialogFont()
{
    QFont font(QStringLiteral("MS Sans Serif"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(8.25);
    return font;
}

// Designed places in twips.
constexpr QRect kClient(0, 0, 5220, 1785);
constexpr QRect kImage1(180, 210, 480, 480);
constexpr QRect kCommand1(4050, 270, 1005, 345);

template <typename Label>
Label* MakeLabel(Label* label, const char* text, QRect twips)
{
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setText(QString::fromUtf8(text));
    label->setProperty("twips", twips);
    return label;
}

QRect Pixels(QRect twips, double widen)
{
    const QRect r = user::TwipsRect(twips.x(), twips.y(), twips.width(), twips.height());
    return QRect(static_cast<int>(std::nearbyint(r.x() * widen)), r.y(),
                 static_cast<int>(std::nearbyint(r.width() * widen)), r.height());
}

}  // namespace

frmAbout::frmAbout(const QIcon& appletIcon)
    : QDialog(nullptr, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                           Qt::WindowCloseButtonHint | Qt::CustomizeWindowHint)
{
    setWindowTitle(QStringLiteral("Kelvo"));
    setWindowIcon(appletIcon);
    setFont(DialogFont());

    Image1 = new QLabel(this);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setPixmap(appletIcon.pixmap(32, 32));

    Label1 = MakeLabel(new QLabel(this), "Kelvo v1.2", {900, 240, 825, 195});
    Label2 = MakeLabel(new QLabel(this), "\u00a9 2026 the Kelvo developers", {900, 510, 2460, 195});
    Label17 = MakeLabel(new QLabel(this), "For the latest news and updates to Kelvo, check", {150, 870, 4185, 195});
    Label25 = MakeLabel(new QLabel(this), "my homepage:", {150, 1080, 1035, 195});
    lblURL = MakeLabel(new LinkLabel(this), KELVO_HOMEPAGE, {1260, 1080, 3090, 195});
    Label26 = MakeLabel(new QLabel(this), "Mail me for support, feature requests, etc.: ", {150, 1410, 3015, 195});
    lblMail = MakeLabel(new LinkLabel(this), KELVO_SUPPORT_MAIL, {3180, 1410, 1860, 195});

    Command1 = new QPushButton(QStringLiteral("Close"), this);
    Command1->setDefault(true);
    Command1->setFocus();

    connect(Command1, &QPushButton::clicked, this, [this] { done(QDialog::Rejected); });
    connect(lblURL, &LinkLabel::clicked, this, &frmAbout::lblURL_Click);
    connect(lblMail, &LinkLabel::clicked, this, &frmAbout::lblMail_Click);

    Arrange();
    user::KeepOffTaskbar(this);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
    }
}

// The design's texts fit its font. A wider stand-in font would cut them
// off, so then the whole layout widens by as much as the tightest label
// needs; heights and the icon's size stay.
void frmAbout::Arrange()
{
    const QList<QLabel*> labels{Label1, Label2, Label17, Label25, lblURL, Label26, lblMail};
    double widen = 1.0;
    for (QLabel* label : labels) {
        const int designed = Pixels(label->property("twips").toRect(), 1.0).width();
        const int needed = label->fontMetrics().horizontalAdvance(label->text());
        if (designed > 0) widen = std::max(widen, static_cast<double>(needed) / designed);
    }
    // A very long configured address is cut off rather than the box leaving the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        widen = std::min(widen, std::max(1.0, static_cast<double>(screen->availableGeometry().width()) /
                                                  Pixels(kClient, 1.0).width()));
    }
    for (QLabel* label : labels) label->setGeometry(Pixels(label->property("twips").toRect(), widen));
    const QRect image = Pixels(kImage1, widen);
    Image1->setGeometry(image.x(), image.y(), Pixels(kImage1, 1.0).width(), image.height());
    const QRect button = Pixels(kCommand1, widen);
    Command1->setGeometry(button.right() + 1 - Pixels(kCommand1, 1.0).width(), button.y(),
                          Pixels(kCommand1, 1.0).width(), button.height());
    setFixedSize(Pixels(kClient, widen).size());
}

void frmAbout::ShowModal(const QIcon& appletIcon)
{
    frmAbout box(appletIcon);
    box.exec();
}

void frmAbout::reject()
{
    Command1->click();
}

// The addresses are read from the captions at the moment of the click.
void frmAbout::lblURL_Click()
{
    OpenTarget(lblURL->text());
}

void frmAbout::lblMail_Click()
{
    OpenTarget(QStringLiteral("mailto:") + lblMail->text());
}

void frmAbout::OpenTarget(const QString& target)
{
    // When nothing can open it, the box just stays open.
    ShellExecuteA(user::RegisterWindow(this), nullptr, target.toLatin1().constData(), nullptr, nullptr,
                  SW_SHOWNORMAL);
}
