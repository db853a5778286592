// Puts the platform's up-down (spin) control beside a text box: the arrows,
// and when asked the Up and Down keys, step the number in the box by one
// within a range.
#pragma once

#include "win32/win32.h"

class UpDown {
public:
    // Prepares the common-controls library.
    UpDown();
    // Destroys the control made last, if any; harmless when it has already
    // gone with its parent.
    ~UpDown();
    UpDown(const UpDown&) = delete;
    UpDown& operator=(const UpDown&) = delete;

    // Sizes in pixels. The control always sits against its buddy's right
    // edge; the result (0 on failure) replaces hUpDown without destroying an
    // earlier control.
    HWND Create(HWND hParent, SHORT Left, SHORT Top, SHORT Width, SHORT Height, HWND hBuddy = nullptr,
                SHORT iID = 0, SHORT Upper = 100, SHORT Lower = 0, SHORT Position = 0, bool SetBuddy = true,
                bool ArrowKeys = true);

    HWND hUpDown = nullptr;
};
