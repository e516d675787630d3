#pragma once
// The console's window on SDL2: one top-level window of character cells with
// SDL's event queue as its message queue. What SDL needs stays in
// sdl_window_internal.h.
#include <memory>

#include "platform/window.h"

namespace lamina::platform {

// Starts SDL's video subsystem and returns the window backend; nullptr when
// no display can be opened (the caller then falls back to the headless
// backend). The reason is logged.
std::unique_ptr<WindowBackend> createSdlWindowBackend();

}  // namespace lamina::platform
