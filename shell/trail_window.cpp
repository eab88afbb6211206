#include "shell/trail_window.h"

#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "shell/window_proc.h"

#include <atomic>
#include <cstdint>
#include <cstdlib>

namespace
{

constexpr char TRAIL_CLASS_NAME[] = "sorvak trail";
// The window's pixels of this colour are not shown, and it is filled with
// it: only the line and the label are seen.
constexpr COLORREF SEE_THROUGH = RGB(255, 0, 255);
constexpr COLORREF LINE_COLOUR = RGB(255, 140, 0);
constexpr COLORREF TEXT_COLOUR = RGB(0, 0, 0);
constexpr int LINE_WIDTH = 4;
constexpr UINT_PTR LABEL_TIMER = 1;
constexpr UINT LABEL_MS = 1000;
// The label's distance from the stroke's end, and its margin.
constexpr int LABEL_OFFSET = 16;
constexpr int LABEL_MARGIN = 4;

HWND main_window = nullptr;
HWND trail = nullptr;
// Made with the first window and kept for the process's life, as the
// window class holds the brush.
HPEN pen = nullptr;
HBRUSH see_through = nullptr;
HBRUSH label_brush = nullptr;
// The virtual screen's top-left corner as last shown: window pixels are
// screen pixels less it.
POINT origin;
POINT last;

// The latest outcome, a heap copy, from the capture thread to this one: a
// message carries no pointer that another program could forge.
std::atomic<char *> outcome_waiting{nullptr};

void post_point(UINT message, std::int32_t x, std::int32_t y)
{
    PostMessageA(main_window, message, static_cast<WPARAM>(x), static_cast<LPARAM>(y));
}

const stroke_view posting_view = {
    [](std::int32_t x, std::int32_t y) { post_point(WM_TRAIL_BEGIN, x, y); },
    [](std::int32_t x, std::int32_t y) { post_point(WM_TRAIL_MOVE, x, y); },
    [](const char *outcome) {
        std::free(outcome_waiting.exchange(copy_text(outcome)));
        PostMessageA(main_window, WM_TRAIL_END, 0, 0);
    },
};

void clear_trail()
{
    RECT all;
    GetClientRect(trail, &all);
    HDC dc = GetDC(trail);
    FillRect(dc, &all, see_through);
    ReleaseDC(trail, dc);
}

// Shows the window erased, over the virtual screen (screens may have come or
// gone), above every other. Hidden first: a window activated meanwhile, by a
// click through the line say, may stand over it although the system still
// counts it first (Wine does), and only showing restacks it then.
void show_erased()
{
    ShowWindow(trail, SW_HIDE);
    origin.x = GetSystemMetrics(SM_XVIRTUALSCREEN);
    origin.y = GetSystemMetrics(SM_YVIRTUALSCREEN);
    SetWindowPos(trail, HWND_TOPMOST, origin.x, origin.y, GetSystemMetrics(SM_CXVIRTUALSCREEN),
                 GetSystemMetrics(SM_CYVIRTUALSCREEN), SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Erased with the class's see-through brush now, so that no later paint
    // wipes what is drawn.
    RedrawWindow(trail, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

void begin_stroke(std::int32_t x, std::int32_t y)
{
    KillTimer(trail, LABEL_TIMER);
    show_erased();
    last.x = x - origin.x;
    last.y = y - origin.y;
}

// Only the new segment is drawn.
void extend_stroke(std::int32_t x, std::int32_t y)
{
    HDC dc = GetDC(trail);
    HGDIOBJ before = SelectObject(dc, pen);
    MoveToEx(dc, last.x, last.y, nullptr);
    last.x = x - origin.x;
    last.y = y - origin.y;
    LineTo(dc, last.x, last.y);
    SelectObject(dc, before);
    ReleaseDC(trail, dc);
}

// The line goes; the outcome shows below and right of the stroke's end, kept
// on the screens, until the timer.
void end_stroke()
{
    char *outcome = outcome_waiting.exchange(nullptr);
    if (outcome == nullptr) {
        clear_trail();
        ShowWindow(trail, SW_HIDE);
        return;
    }
    show_erased();
    int length = lstrlenA(outcome);
    if (length > 0 && outcome[length - 1] == '\n')
        --length;
    HDC dc = GetDC(trail);
    HGDIOBJ font = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT box = {0, 0, 0, 0};
    DrawTextA(dc, outcome, length, &box, DT_CALCRECT | DT_NOPREFIX);
    RECT all;
    GetClientRect(trail, &all);
    int width = box.right + 2 * LABEL_MARGIN;
    int height = box.bottom + 2 * LABEL_MARGIN;
    int left = last.x + LABEL_OFFSET;
    int top = last.y + LABEL_OFFSET;
    if (left + width > all.right)
        left = all.right - width;
    if (top + height > all.bottom)
        top = all.bottom - height;
    SetRect(&box, left < 0 ? 0 : left, top < 0 ? 0 : top, 0, 0);
    box.right = box.left + width;
    box.bottom = box.top + height;
    FillRect(dc, &box, label_brush);
    InflateRect(&box, -LABEL_MARGIN, -LABEL_MARGIN);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TEXT_COLOUR);
    DrawTextA(dc, outcome, length, &box, DT_NOPREFIX);
    SelectObject(dc, font);
    ReleaseDC(trail, dc);
    std::free(outcome);
    SetTimer(trail, LABEL_TIMER, LABEL_MS, nullptr);
}

LRESULT CALLBACK trail_window_proc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_TIMER:
        KillTimer(window, LABEL_TIMER);
        clear_trail();
        ShowWindow(window, SW_HIDE);
        return 0;
    // Belt and braces beside WS_EX_TRANSPARENT: never the target of the
    // mouse, never activated by it.
    case WM_NCHITTEST:
        return HTTRANSPARENT;
    case WM_MOUSEACTIVATE:
        return MA_NOACTIVATE;
    default:
        return DefWindowProcA(window, message, wparam, lparam);
    }
}

} // namespace

void show_trail(bool on, HWND window)
{
    if (on == (trail != nullptr))
        return;
    if (!on) {
        watch_strokes(nullptr);
        DestroyWindow(trail);
        trail = nullptr;
        std::free(outcome_waiting.exchange(nullptr));
        return;
    }
    main_window = window;
    if (pen == nullptr) {
        pen = CreatePen(PS_SOLID, LINE_WIDTH, LINE_COLOUR);
        see_through = CreateSolidBrush(SEE_THROUGH);
        label_brush = CreateSolidBrush(LINE_COLOUR);
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = trail_window_proc;
        window_class.hInstance = g_instance;
        window_class.hbrBackground = see_through;
        window_class.lpszClassName = TRAIL_CLASS_NAME;
        RegisterClassA(&window_class);
    }
    // Topmost, see-through to the mouse, never activated, never in the
    // taskbar or Alt+Tab. Owned by the hidden main window: Wine's taskbar
    // shows an unowned popup as large as the screen whatever its style.
    trail = CreateWindowExA(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
        TRAIL_CLASS_NAME, "", WS_POPUP, 0, 0, 0, 0, main_window, nullptr, g_instance, nullptr);
    if (trail == nullptr)
        return;
    SetLayeredWindowAttributes(trail, SEE_THROUGH, 0, LWA_COLORKEY);
    watch_strokes(&posting_view);
}

bool trail_message(UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message < WM_TRAIL_BEGIN || message > WM_TRAIL_END)
        return false;
    auto x = static_cast<std::int32_t>(wparam);
    auto y = static_cast<std::int32_t>(lparam);
    if (trail == nullptr)
        return true;
    if (message == WM_TRAIL_BEGIN)
        begin_stroke(x, y);
    else if (message == WM_TRAIL_MOVE)
        extend_stroke(x, y);
    else
        end_stroke();
    return true;
}
