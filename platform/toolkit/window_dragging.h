// Full-window dragging: the desktop option to show a window's contents while it is dragged.
// Start-up switches it off for the length of the run and back on at a normal exit.
//
// The desktops the program runs on here have no such option for all windows (the window
// manager decides for itself), so the option reads as off and setting it does nothing;
// start-up keeps both calls in their place all the same.
#pragma once

namespace orvel::platform::toolkit {

bool full_window_dragging();
void set_full_window_dragging(bool on);

}  // namespace orvel::platform::toolkit
