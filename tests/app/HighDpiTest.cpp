// The window and the tray icon on a screen of two device pixels to each
// logical pixel (the test runs with QT_SCALE_FACTOR=2): drawn at the device
// resolution, never as 1x pictures scaled up.
#include "app/AppFixture.h"
#include "app/Artwork.h"
#include "app/Contrast.h"
#include "app/TrayRenderer.h"
#include "shell/FakeNotificationArea.h"
#include "shell/qt_notification_area.h"
#include "shell/status_notifier_item.h"
#include "surfaces/TrayIcon.h"
#include "user/system_metrics.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDir>
#include <QPalette>
#include <QPixmap>
#include <QScreen>
#include <QtEndian>

#include <map>

namespace {

using HighDpiTest = AppTest;

const HWND kTray = reinterpret_cast<HWND>(0x10040);

// A picture scaled up from half its size repeats every column once.
bool PixelDoubled(const QImage& image, const QRect& area)
{
    for (int x = area.left(); x + 1 <= area.right(); x += 2)
        for (int y = area.top(); y <= area.bottom(); ++y)
            if (image.pixel(x, y) != image.pixel(x + 1, y)) return false;
    return true;
}

std::vector<std::uint8_t> Ramp()
{
    std::vector<std::uint8_t> ramp;
    for (int i = 0; i < 256; i += 3) ramp.push_back(static_cast<std::uint8_t>(i));
    return ramp;
}

}  // namespace

TEST_F(HighDpiTest, TheWindowIsDrawnInDevicePixelsWithAOneDevicePixelTrace)
{
    ASSERT_EQ(QGuiApplication::primaryScreen()->devicePixelRatio(), 2.0);
    driver->autoPattern = {128};
    frmMain form("");
    ASSERT_TRUE(Load(form));
    Frame(form);

    QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shot.size(), QSize(376, 188));
    // The canvas lies inside its 4-pixel border at (6, 22) logical pixels.
    const QRect canvas(16, 48, 342, 122);
    const QRgb trace = qRgb(128, 255, 255);
    // Silence is device row round(128 / 256 x 122) = 61, and only that row: a
    // canvas of logical size drawn scaled up would give two.
    for (int x = canvas.left() + 1; x < canvas.right(); x += 37)
        for (int y = canvas.top(); y <= canvas.bottom(); ++y)
            EXPECT_EQ(shot.pixel(x, y) == trace, y == canvas.top() + 61) << x << "," << y;
    EXPECT_FALSE(PixelDoubled(shot, QRect(12, 12, 80, 16))) << "the title";
    // The lettering "Kelvo" keeps its designed size and place in device pixels.
    const auto lettering = [](const QImage& image, int ratio) {
        QRect box;
        for (int y = 6 * ratio; y < 15 * ratio; ++y)
            for (int x = 6 * ratio; x < 181 * ratio; ++x)
                if (qRed(image.pixel(x, y)) >= 128) box |= QRect(x, y, 1, 1);
        return box;
    };
    const QRect designed = lettering(kelvo::FormBackground(1.0), 1), drawn = lettering(shot, 2);
    EXPECT_LE((drawn.topLeft() - designed.topLeft() * 2).manhattanLength() +
                  (drawn.bottomRight() - designed.bottomRight() * 2).manhattanLength(), 6) << "the lettering";

    driver->autoPattern = Ramp();
    Frame(form);
    shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(PixelDoubled(shot, canvas)) << "the trace";
    form.Unload();
}

// The test binary has a folder of its own for the canvas pictures.
TEST_F(HighDpiTest, DirectDrawComposesInDevicePixelsOverThePictureMadeForTheRatio)
{
    const QDir folder(QCoreApplication::applicationDirPath());
    ASSERT_TRUE(kelvo::CanvasPicture(172, 61).save(folder.filePath(QStringLiteral("canvas.bmp")), "BMP"));
    QImage sharp = kelvo::CanvasPicture(344, 122).convertToFormat(QImage::Format_RGB32);
    ASSERT_TRUE(sharp.save(folder.filePath(QStringLiteral("canvas@2x.bmp")), "BMP"));
    hive.Write("REGEDIT4\n[HKEY_CURRENT_USER\\SOFTWARE\\Quennel\\Kelvo]\n\"DirectX\"=\"y\"\n");
    driver->autoPattern = {128};
    frmMain form("");
    ASSERT_TRUE(Load(form));
    Frame(form);
    ASSERT_TRUE(form.state.bDirectX);

    for (int x = 0; x < sharp.width(); ++x) sharp.setPixel(x, 61, qRgb(128, 255, 255));
    EXPECT_EQ(WrongPixels(form, sharp, QRect(1, 0, 340, 122)), 0);
    const QImage shot = form.grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_FALSE(PixelDoubled(shot, QRect(16, 48, 340, 120))) << "blitted one to one";
    // Stretched over the canvas's whole device rectangle, border included.
    int traced = 0;
    for (int y = 44; y < 44 + 130; ++y)
        for (int x = 12; x < 12 + 350; ++x) traced += shot.pixel(x, y) == qRgb(128, 255, 255);
    EXPECT_GE(traced, 340);
    form.Unload();
}

// The small icon at ratio 2 is 32 device pixels, an XEmbed slot's picture as
// large as the slot. A StatusNotifierItem host picks one of the pictures it is
// given: the small-icon size, the largest for a host that scales the largest,
// and the common sizes below it, each as the renderer draws at that size, with
// a sample for every device column.
TEST_F(HighDpiTest, TheTrayIconIsDrawnAtEachSizeATrayAsksOrAHostMayPickOnAFaceTheTraceStandsOutOn)
{
    const struct {
        IconSize small;
        std::vector<IconSize> more;
    } rows[] = {{{16, 16}, {}},
                {{20, 20}, {{16, 16}}},
                {{48, 48}, {{16, 16}, {22, 22}, {24, 24}, {32, 32}, {44, 44}}},
                {{22, 24}, {{16, 16}}}};
    for (const auto& [small, more] : rows) EXPECT_EQ(shell::StatusNotifierIconSizes(small), more) << small.width;

    const auto native = [](int width, int height) {
        SetNotificationIconSize(width, height);
        kelvo::test::FakeNotificationArea fake;
        kelvo::RenderTrayFrame(Ramp(), 0, 6, kTray);
        SetNotificationIconSize(0, 0);
        return fake.calls.at(0).picture.value();
    };
    const gdi::IconImage slot = native(22, 24);
    EXPECT_EQ(QSize(slot.width, slot.height), QSize(22, 24));

    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected()) << "runs under dbus-run-session";
    shell::QtNotificationArea area([] { return shell::TrayHost::StatusNotifierItem; });
    shell::NotificationArea* previous = shell::SetNotificationArea(&area);
    ASSERT_TRUE(kelvo::TrayAdd(kTray, nullptr, "Kelvo", WM_MOUSEMOVE, 1));
    kelvo::RenderTrayFrame(Ramp(), 0, 6, kTray);
    // Only a picture that changed is announced: a silent input costs the host nothing.
    int announced = 0;
    QObject::connect(area.ItemOf(kTray, 1), &shell::StatusNotifierItem::NewIcon, [&] { ++announced; });
    for (const LONG style : {0, 0, 1, 0}) kelvo::RenderTrayFrame(Ramp(), style, 6, kTray);
    EXPECT_EQ(announced, 2);

    // What the bus reads; the end-to-end trays read it through real hosts.
    std::vector<IconSize> sizes;
    for (const auto& [width, height, bytes] : area.ItemOf(kTray, 1)->Pixmaps()) {
        sizes.push_back({width, height});
        const gdi::IconImage drawn = native(width, height);
        ASSERT_EQ(bytes.size(), qsizetype(drawn.argb.size() * 4)) << width;
        std::vector<std::uint32_t> argb(drawn.argb.size());  // network byte order
        for (std::size_t i = 0; i < argb.size(); ++i) argb[i] = qFromBigEndian<std::uint32_t>(bytes.constData() + 4 * i);
        EXPECT_EQ(argb, drawn.argb) << width << " x " << height << ": drawn at that size";
        EXPECT_GE(std::count(argb.begin(), argb.end(), 0xFF0000FFu), width - 2) << "the trace";
        const QImage image(reinterpret_cast<const uchar*>(drawn.argb.data()), width, height, QImage::Format_ARGB32);
        EXPECT_FALSE(PixelDoubled(image, QRect(1, 1, width - 2, height - 2))) << width;
    }
    // The first, the small icon, is the style's 16 at ratio 2.
    EXPECT_EQ(sizes, (std::vector<IconSize>{{32, 32}, {16, 16}, {22, 22}, {24, 24}}));
    EXPECT_TRUE(kelvo::TrayDelete(kTray, 1));
    shell::SetNotificationArea(previous);

    // The blue trace needs 3:1 against its background: a dark palette's button
    // face would not give it. The two greys either side of 3:1.
    const QPalette before = QApplication::palette();
    const std::pair<QColor, COLORREF> cases[] = {{QColor(0x99, 0x99, 0x99), RGB(0x99, 0x99, 0x99)},  // 3.02:1
                                                 {QColor(0x98, 0x98, 0x98), RGB(192, 192, 192)}};    // 2.98:1
    for (const auto& [face, background] : cases) {
        QPalette palette = before;
        palette.setColor(QPalette::Button, face);
        QApplication::setPalette(palette);
        EXPECT_EQ(kelvo::TrayBackground(), background) << face.name().toStdString();
    }
    QApplication::setPalette(before);
}

// The window icon offers every embedded size and the style's disabled look.
// Where the theme has a picture of the size asked, the window's is that
// picture as it is, not a larger one scaled down. At every device pixel ratio
// the icon is cyan and dark-cyan strokes on nothing, unblended; the dark ones
// stand out 3:1 on a light panel, all of them on a dark one.
TEST(AppletIconTest, EachSizeTheThemeHasIsItsPictureAsItIsSharpAndLegibleOnLightAndDarkPanels)
{
    const QIcon icon = kelvo::AppletIcon();
    const QList<QSize> sizes = icon.availableSizes();
    ASSERT_EQ(sizes.size(), 7);
    int compared = 0;
    for (const QSize& size : sizes) {
        const QImage theme(QStringLiteral(KELVO_ICON_DIR "/hicolor/%1x%1/apps/kelvo.png").arg(size.width()));
        if (theme.isNull()) continue;
        EXPECT_EQ(icon.pixmap(size, 1.0).toImage().convertToFormat(QImage::Format_ARGB32),
                  theme.convertToFormat(QImage::Format_ARGB32))
            << size.width();
        ++compared;
    }
    EXPECT_GE(compared, 4);
    EXPECT_NE(icon.pixmap(QSize(32, 32), 1.0, QIcon::Disabled).toImage(), icon.pixmap(QSize(32, 32), 1.0).toImage());
    EXPECT_TRUE(kelvo::ContrastRatio(RGB(0, 128, 128), RGB(240, 240, 240)) >= 3 &&
                kelvo::ContrastRatio(RGB(0, 128, 128), RGB(32, 32, 32)) >= 3 &&
                kelvo::ContrastRatio(RGB(0, 255, 255), RGB(32, 32, 32)) >= 3);
    for (const int size : {16, 20, 24, 32, 40}) {
        const QImage image = kelvo::IconImage(size);
        std::map<QRgb, int> colours;
        for (int i = 0; i < size * size; ++i) ++colours[image.pixel(i % size, i / size)];
        EXPECT_TRUE(colours.size() == 3 && colours[0] > size * size / 2 && colours[qRgb(0, 255, 255)] >= size &&
                    colours[qRgb(0, 128, 128)] >= size) << size;
    }
}
