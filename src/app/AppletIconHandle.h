// The applet's own icon as an icon handle, for the notification area.
#pragma once

#include "win32/win32.h"

namespace kelvo {

class AppletIconHandle {
public:
    explicit AppletIconHandle(int size = 16);
    ~AppletIconHandle();
    AppletIconHandle(const AppletIconHandle&) = delete;
    AppletIconHandle& operator=(const AppletIconHandle&) = delete;

    HICON get() const { return icon_; }

private:
    HICON icon_ = nullptr;
};

}  // namespace kelvo
