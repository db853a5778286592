// The record stream's sound server connection runs on the thread that
// draws, its socket and timers watched by that thread's Qt event loop.
#pragma once

#include "winmm/loop_host.h"

#include <memory>

namespace user {

// A host for the calling thread, which runs a Qt event loop.
std::shared_ptr<winmm::LoopHost> MakeQtLoopHost();

}  // namespace user
