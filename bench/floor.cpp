// The least a Qt 6 Widgets program pays for what Kelvo shows: a 188 x 94
// frameless window, or a tray icon, redrawn with a fresh trace at every
// interval. tools/compare-floor.sh measures Kelvo against it.
//   kelvo-floor [--tray] [--debug] [--interval MS]
// --debug writes "floor: frames=N interval=I" to standard error once a second.
#include <QApplication>
#include <QGuiApplication>
#include <QIcon>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>

namespace {

// A sine whose phase moves on each frame, so every frame differs.
void DrawTrace(QImage& image, QColor background, QColor trace, int frame)
{
    image.fill(background);
    QPainter painter(&image);
    painter.setPen(trace);
    const int w = image.width();
    const int h = image.height();
    QPoint last;
    for (int x = 0; x < w; ++x) {
        const QPoint p(x, h / 2 + static_cast<int>(std::lround((h / 2 - 1) * std::sin((x + frame * 7) * 0.3))));
        if (x > 0) painter.drawLine(last, p);
        last = p;
    }
}

class FloorWindow : public QWidget {
public:
    FloorWindow() : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), canvas_(171, 61, QImage::Format_RGB32)
    {
        setFixedSize(188, 94);
        setAttribute(Qt::WA_OpaquePaintEvent);
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect area = screen->geometry();
            move(area.left() + (area.width() - width()) / 2, area.top() + (area.height() - height()) / 2);
        }
    }

    void Frame(int frame)
    {
        DrawTrace(canvas_, Qt::black, QColor(128, 255, 255), frame);
        update(8, 24, canvas_.width(), canvas_.height());
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(192, 192, 192));
        painter.drawImage(8, 24, canvas_);
    }

private:
    QImage canvas_;
};

}  // namespace

int main(int argc, char* argv[])
{
    bool tray = false;
    bool debug = false;
    int interval = 150;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--tray") == 0) tray = true;
        else if (std::strcmp(argv[i], "--debug") == 0) debug = true;
        else if (std::strcmp(argv[i], "--interval") == 0 && i + 1 < argc) interval = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: kelvo-floor [--tray] [--debug] [--interval MS]\n");
            return 2;
        }
    }
    if (interval <= 0) interval = 150;

    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    FloorWindow window;
    QSystemTrayIcon icon;
    QImage small(16, 16, QImage::Format_ARGB32);

    int frame = 0;
    int frames = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++frame;
        ++frames;
        if (tray) {
            DrawTrace(small, Qt::white, Qt::blue, frame);
            icon.setIcon(QIcon(QPixmap::fromImage(small)));
        } else {
            window.Frame(frame);
        }
    });
    QTimer counter;
    QObject::connect(&counter, &QTimer::timeout, [&] {
        std::fprintf(stderr, "floor: frames=%d interval=%d\n", frames, interval);
        std::fflush(stderr);
        frames = 0;
    });

    if (tray) {
        DrawTrace(small, Qt::white, Qt::blue, frame);
        icon.setIcon(QIcon(QPixmap::fromImage(small)));
        icon.setToolTip(QStringLiteral("floor"));
        icon.show();
    } else {
        window.show();
    }
    timer.start(interval);
    if (debug) counter.start(1000);
    return app.exec();
}
