// The stroke drawn over every window while the capture key is held, and the
// capture's outcome shown beside the pointer for a second after it: a
// click-through layered window of its own, made only while conf.txt asks for
// it, shown over the monitors the stroke crosses. The capture thread posts
// each point to the main window, whose procedure hands the messages here.
#pragma once

#include <windows.h>

// Posted by the capture thread: the stroke's start and each later point
// (wparam x, lparam y, in the program's screen pixels), then the end, whose
// text waits in this unit.
constexpr UINT WM_TRAIL_BEGIN = WM_APP + 1;
constexpr UINT WM_TRAIL_MOVE = WM_APP + 2;
constexpr UINT WM_TRAIL_END = WM_APP + 3;

// After each load: with `on`, makes the window (once) and has the capture
// thread post each stroke to `main_window`; otherwise stops that and
// destroys the window.
void show_trail(bool on, HWND main_window);

// Carries out a WM_TRAIL_ message on the user-interface thread; false for
// any other message. Without the window the messages are dropped.
bool trail_message(UINT message, WPARAM wparam, LPARAM lparam);
