// Opening the display. What Qt says while it tries is held back; when no
// display can be opened the process prints one line naming what failed and
// ends with status 1, never with an abort and a core dump.
#pragma once

namespace kelvo {

class DisplayOpening {
public:
    DisplayOpening();
    // The display is open: what Qt said goes out as it would have.
    ~DisplayOpening();
    DisplayOpening(const DisplayOpening&) = delete;
    DisplayOpening& operator=(const DisplayOpening&) = delete;
};

}  // namespace kelvo
