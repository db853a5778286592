// The main window's tests: a capture driver the test controls, the real hive
// in a temporary configuration folder, message boxes answered and kept.
#pragma once

#include "app/frmMain.h"
#include "gdi/gdi.h"
#include "registry/TempHive.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_box.h"
#include "winmm/input_choice.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <functional>

constexpr COLORREF kTrace = RGB(128, 255, 255);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
        winmm::waveInSetPreferred("");  // each form starts as a new run would
        user::SetMessageBoxHandler([this](const std::string& text, const std::string& caption, UINT type) {
            boxes.push_back(caption + "|" + text + "|" + std::to_string(type));
            return IDOK;
        });
    }
    void TearDown() override
    {
        user::SetMessageBoxHandler({});
        winmm::SetCaptureDriver(nullptr);
    }

    // Start-up with the frame timer stopped: the test gives the timer events.
    static bool Load(frmMain& form)
    {
        const bool loaded = form.Form_Load();
        form.Timer->SetEnabled(false);
        return loaded;
    }

    // Runs events until `done` holds (or 10 s pass).
    static bool Until(const std::function<bool()>& done)
    {
        QDeadlineTimer deadline(10000);
        QTimer look;  // also looks again when nothing else happens
        look.start(20);
        while (!done() && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        return done();
    }

    // A frame-timer event, and events until its block is drawn.
    static void Frame(frmMain& form)
    {
        emit form.Timer->Timer();
        EXPECT_TRUE(Until([&] { return !form.InTick(); })) << "the block never came";
    }

    // Rows of the GDI canvas where column x shows the trace colour.
    static std::vector<int> TraceRows(frmMain& form, int x)
    {
        std::vector<int> rows;
        for (int y = 0; y < 61; ++y)
            if (GetPixel(form.picCanvas->hDC(), x, y) == kTrace) rows.push_back(y);
        return rows;
    }

    // Pixels of the composed DirectDraw canvas within `area` that differ from `expected`.
    static int WrongPixels(frmMain& form, const QImage& expected, const QRect& area)
    {
        DX_DD& dd = *form.state.oDirectDraw;
        HDC composed = dd.GetSurfaceDC(form.state.iCanvasSurface);
        int wrong = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                const QRgb e = expected.pixel(x, y);
                wrong += GetPixel(composed, x, y) != RGB(qRed(e), qGreen(e), qBlue(e));
            }
        }
        dd.ReleaseSurfaceDC(form.state.iCanvasSurface, composed);
        return wrong;
    }

    kelvo::testing::TempHive hive;
    std::shared_ptr<testing_support::FakeCaptureDriver> driver = std::make_shared<testing_support::FakeCaptureDriver>();
    std::vector<std::string> boxes;
};
