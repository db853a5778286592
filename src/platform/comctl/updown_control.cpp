#include "comctl/updown_control.h"

#include "comctl/commctrl.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOption>
#include <QVariant>

#include <algorithm>

namespace comctl {
namespace {

constexpr int kRepeatDelayMs = 400;
constexpr int kRepeatPeriodMs = 80;

bool HasText(const QWidget* widget)
{
    return widget && widget->metaObject()->indexOfProperty("text") >= 0;
}

}  // namespace

UpDownControl::UpDownControl(QWidget* parent, DWORD style, QRect rect) : QWidget(parent), style_(style)
{
    if (!(style & UDS_HORZ)) rect.setWidth(kDefaultSize);
    setGeometry(rect);
    if (style & WS_BORDER) setContentsMargins(1, 1, 1, 1);
    // Clicks on the arrows leave the keyboard with the buddy.
    setFocusPolicy(Qt::NoFocus);
    connect(&repeat_, &QTimer::timeout, this, [this] {
        repeat_.setInterval(kRepeatPeriodMs);
        Step(pressed_);
    });
}

HWND UpDownControl::SetBuddy(HWND buddy)
{
    const HWND previous = hBuddy_;
    if (buddy_) buddy_->removeEventFilter(this);
    hBuddy_ = buddy;
    buddy_ = user::WindowFromHandle(buddy);
    if (!buddy_) return previous;
    if (style_ & UDS_ARROWKEYS) buddy_->installEventFilter(this);
    if ((style_ & UDS_ALIGNRIGHT) && buddy_->parentWidget() == parentWidget()) {
        const QRect b = buddy_->geometry();
        const int narrowed = std::max(0, b.width() - width());
        buddy_->resize(narrowed, b.height());
        setGeometry(b.x() + narrowed, b.y(), width(), b.height());
    }
    return previous;
}

void UpDownControl::SetRange(int upper, int lower)
{
    upper_ = upper;
    lower_ = lower;
    pos_ = Clamped(pos_);
}

int UpDownControl::Clamped(qint64 value) const
{
    return static_cast<int>(std::clamp<qint64>(value, std::min(upper_, lower_), std::max(upper_, lower_)));
}

QString UpDownControl::Text(int pos) const
{
    if (base_ == 10) return QString::number(pos);
    return "0x" + QString::number(static_cast<quint32>(pos), 16).toUpper().rightJustified(4, '0');
}

int UpDownControl::SetPos(int pos)
{
    const int previous = pos_;
    pos_ = Clamped(pos);
    if ((style_ & UDS_SETBUDDYINT) && HasText(buddy_)) buddy_->setProperty("text", Text(pos_));
    return previous;
}

std::optional<qint64> UpDownControl::BuddyNumber() const
{
    // The buddy holds the position as a number only with UDS_SETBUDDYINT.
    if (!(style_ & UDS_SETBUDDYINT) || !HasText(buddy_)) return std::nullopt;
    QString text = buddy_->property("text").toString().trimmed();
    bool ok = false;
    if (base_ == 10) {
        const int value = text.toInt(&ok);
        return ok ? std::optional<qint64>(value) : std::nullopt;
    }
    if (text.startsWith("0x", Qt::CaseInsensitive)) text.remove(0, 2);
    const quint32 value = text.toUInt(&ok, 16);
    return ok && !text.startsWith('+') ? std::optional<qint64>(value) : std::nullopt;
}

bool UpDownControl::ReadPos()
{
    const std::optional<qint64> shown = BuddyNumber();
    const bool valid = shown && *shown == Clamped(*shown);
    if (valid) pos_ = static_cast<int>(*shown);
    return valid;
}

void UpDownControl::Step(int towardsUpper)
{
    const qint64 from = BuddyNumber().value_or(pos_);
    const int step = (upper_ >= lower_ ? 1 : -1) * towardsUpper;
    const int to = Clamped(from + step);
    if (to != from) SetPos(to);
}

LRESULT UpDownControl::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    const auto low = [](LPARAM v) { return static_cast<int>(static_cast<SHORT>(LOWORD(v))); };
    const auto high = [](LPARAM v) { return static_cast<int>(static_cast<SHORT>(HIWORD(v))); };
    const auto clamp16 = [](int v) { return std::clamp(v, UD_MINVAL, UD_MAXVAL); };
    switch (message) {
    case UDM_SETRANGE: SetRange(clamp16(low(lParam)), clamp16(high(lParam))); return 0;
    case UDM_GETRANGE: return MAKELONG(static_cast<WORD>(upper_), static_cast<WORD>(lower_));
    case UDM_SETPOS: return SetPos(low(lParam));
    case UDM_GETPOS: {
        const bool valid = ReadPos();
        return MAKELONG(static_cast<WORD>(pos_), valid ? 0 : 1);
    }
    case UDM_SETRANGE32: SetRange(static_cast<int>(lParam), static_cast<int>(wParam)); return 0;
    case UDM_GETRANGE32:
        if (wParam) *reinterpret_cast<int*>(wParam) = lower_;
        if (lParam) *reinterpret_cast<int*>(lParam) = upper_;
        return 0;
    case UDM_SETPOS32: return SetPos(static_cast<int>(lParam));
    case UDM_GETPOS32: {
        const bool valid = ReadPos();
        if (lParam) *reinterpret_cast<BOOL*>(lParam) = valid ? FALSE : TRUE;
        return pos_;
    }
    case UDM_SETBASE: {
        if (wParam != 10 && wParam != 16) return 0;
        const int previous = base_;
        base_ = static_cast<int>(wParam);
        SetPos(pos_);  // the buddy shows the position in the new base
        return previous;
    }
    case UDM_GETBASE: return base_;
    case UDM_SETBUDDY: return reinterpret_cast<LRESULT>(SetBuddy(reinterpret_cast<HWND>(wParam)));
    case UDM_GETBUDDY: return reinterpret_cast<LRESULT>(hBuddy_);
    default: return 0;
    }
}

void UpDownControl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect client = contentsRect();
    if (client != rect()) {
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    if (client.isEmpty()) return;
    const int half = client.height() / 2;
    const QRect halves[] = {QRect(client.x(), client.y(), client.width(), half),
                            QRect(client.x(), client.y() + half, client.width(), client.height() - half)};
    for (int i = 0; i < 2; ++i) {
        const int arrow = i == 0 ? 1 : -1;
        QStyleOptionButton button;
        button.initFrom(this);
        button.rect = halves[i];
        button.state |= pressed_ == arrow ? QStyle::State_Sunken : QStyle::State_Raised;
        style()->drawPrimitive(QStyle::PE_PanelButtonCommand, &button, &painter, this);
        QStyleOption indicator;
        indicator.initFrom(this);
        indicator.rect = halves[i].adjusted(2, 1, -2, -1);
        if (pressed_ == arrow) indicator.rect.translate(1, 1);
        style()->drawPrimitive(arrow > 0 ? QStyle::PE_IndicatorArrowUp : QStyle::PE_IndicatorArrowDown, &indicator,
                               &painter, this);
    }
}

void UpDownControl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    if (buddy_ && buddy_->isEnabled()) buddy_->setFocus(Qt::MouseFocusReason);
    pressed_ = event->position().y() < height() / 2 ? 1 : -1;
    update();
    Step(pressed_);
    repeat_.start(kRepeatDelayMs);
}

void UpDownControl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) return;
    repeat_.stop();
    pressed_ = 0;
    update();
}

bool UpDownControl::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            Step(key == Qt::Key_Up ? 1 : -1);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace comctl
