// The program's taskbar entry, switched with the window manager's skip-taskbar
// state (_NET_WM_STATE_SKIP_TASKBAR). Only the X11 platform has one; elsewhere
// (offscreen, Wayland) the call does nothing.
#pragma once

class QWidget;

namespace taskbar {

// Adds or removes the skip-taskbar state of the top-level `window`; false when
// the platform offers no such state or the window has no native handle yet.
bool SetSkipTaskbar(QWidget* window, bool skip);

// Whether the window's _NET_WM_STATE property holds the skip-taskbar state
// (X11 only; false elsewhere).
bool HasSkipTaskbar(QWidget* window);

}  // namespace taskbar
