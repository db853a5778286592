// The main window's tests: a capture driver the test controls, the real hive
// in a temporary configuration folder, message boxes answered and kept.
#pragma once

#include "app/frmMain.h"
#include "gdi/gdi.h"
#include "registry/TempHive.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_box.h"

#include <gtest/gtest.h>

constexpr COLORREF kTrace = RGB(128, 255, 255);

class AppTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        winmm::SetCaptureDriver(driver);
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

    // Rows of the GDI canvas where column x shows the trace colour.
    static std::vector<int> TraceRows(frmMain& form, int x)
    {
        std::vector<int> rows;
        for (int y = 0; y < 61; ++y) {
            if (GetPixel(form.picCanvas->hDC(), x, y) == kTrace) rows.push_back(y);
        }
        return rows;
    }

    kelvo::testing::TempHive hive;
    std::shared_ptr<testing_support::FakeCaptureDriver> driver = std::make_shared<testing_support::FakeCaptureDriver>();
    std::vector<std::string> boxes;
};
