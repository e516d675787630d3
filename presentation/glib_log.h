#pragma once
// GLib and the libraries built on it (libgsf, GObject) report damaged input
// and misuse through GLib's log; those messages go to the process's logger.

namespace lamina::presentation {

// Installs the handler once; later calls do nothing.
void routeGlibLog();

}  // namespace lamina::presentation
