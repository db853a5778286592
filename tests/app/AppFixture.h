// The main window's tests: a capture driver the test controls, the real hive
// in a temporary configuration folder, message boxes answered and kept.
#pragma once

#include "registry/TempHive.h"
#include "support/FakeCaptureDriver.h"
#include "user/message_box.h"

#include <gtest/gtest.h>

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

    kelvo::testing::TempHive hive;
    std::shared_ptr<testing_support::FakeCaptureDriver> driver = std::make_shared<testing_support::FakeCaptureDriver>();
    std::vector<std::string> boxes;
};
