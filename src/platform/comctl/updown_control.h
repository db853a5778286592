// The up-down control's window: two arrow buttons drawn with the desktop's
// style that step a position within a range, and optionally write it into a
// buddy window and take the buddy's Up and Down keys.
#pragma once

#include "user/window_table.h"

#include <QPointer>
#include <QTimer>
#include <QWidget>

#include <optional>

namespace comctl {

class UpDownControl : public QWidget, public user::WindowProcedure {
    Q_OBJECT

public:
    // A vertical control takes its default width whatever the rectangle
    // says; a horizontal one keeps the rectangle, however flat.
    UpDownControl(QWidget* parent, DWORD style, QRect rect);

    static constexpr int kDefaultSize = 16;

    DWORD Style() const { return style_; }
    // Returns the previous buddy. With UDS_ALIGNRIGHT the control moves
    // against the buddy's right edge, takes its height, and the buddy
    // narrows by the control's width.
    HWND SetBuddy(HWND buddy);
    // The 16-bit forms clamp each end first; the position is clamped into
    // the new range.
    void SetRange(int upper, int lower);
    // Clamped to the range; with UDS_SETBUDDYINT also written into the buddy.
    // Returns the previous position.
    int SetPos(int pos);
    // One step towards the upper end (+1) or the lower end (-1), from the
    // number the buddy shows when it shows one (UDS_SETBUDDYINT only).
    void Step(int towardsUpper);

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // The number the buddy shows (hexadecimal ones unsigned), when it shows one.
    std::optional<qint64> BuddyNumber() const;
    int Clamped(qint64 value) const;
    // The position, taken from the buddy when it shows a number in the range;
    // false when it does not.
    bool ReadPos();
    QString Text(int pos) const;

    DWORD style_;
    HWND hBuddy_ = nullptr;
    QPointer<QWidget> buddy_;
    int upper_ = 0;
    int lower_ = 0;
    int pos_ = 0;
    int base_ = 10;
    int pressed_ = 0;  // +1 upper arrow held, -1 lower arrow held
    QTimer repeat_;
};

}  // namespace comctl
