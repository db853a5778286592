// A notification area that records every Shell_NotifyIconA call, with the
// picture of the icon as it was at the time of the call.
#pragma once

#include "gdi/gdi_access.h"
#include "shell/notification_area.h"

#include <optional>
#include <vector>

namespace kelvo::test {

class FakeNotificationArea : public shell::NotificationArea {
public:
    struct Call {
        DWORD message;
        NOTIFYICONDATAA data;
        std::optional<gdi::IconImage> picture;
    };

    FakeNotificationArea() { previous_ = shell::SetNotificationArea(this); }
    ~FakeNotificationArea() override { shell::SetNotificationArea(previous_); }
    FakeNotificationArea(const FakeNotificationArea&) = delete;
    FakeNotificationArea& operator=(const FakeNotificationArea&) = delete;

    bool Available() override { return available; }
    // A tray host comes or goes, as a real area reports it.
    void SetAvailable(bool value)
    {
        available = value;
        shell::NotifyAvailabilityChanged();
    }
    BOOL NotifyIcon(DWORD dwMessage, const NOTIFYICONDATAA& data) override
    {
        Call call{dwMessage, data, std::nullopt};
        gdi::IconImage image;
        if (data.hIcon && gdi::IconPicture(data.hIcon, image)) call.picture = image;
        calls.push_back(call);
        return result;
    }

    bool available = true;
    BOOL result = TRUE;
    std::vector<Call> calls;

private:
    shell::NotificationArea* previous_ = nullptr;
};

}  // namespace kelvo::test
