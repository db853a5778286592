// The hidden picture box that names the tray icon and receives its
// notifications: each arrives as a mouse move whose x is the mouse message.
#pragma once

#include <QWidget>

#include <functional>

class TrayReceiver : public QWidget {
    Q_OBJECT

public:
    using MouseMove = std::function<void(int button, int shift, float x, float y)>;
    TrayReceiver(QWidget* parent, MouseMove onMouseMove);

protected:
    bool event(QEvent* event) override;

private:
    MouseMove onMouseMove_;
};
