#include "shell/trail_window.h"

#include "gesture/capture_loop.h"
#include "gesture/gesture_context.h"
#include "shell/trail_geometry.h"
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
// Sizes in the program's pixels, scaled to the screen's.
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
HBRUSH see_through = nullptr;
HBRUSH label_brush = nullptr;
// Made again for a stroke that begins on a monitor of another scale.
HPEN pen = nullptr;
int pen_width = 0;
// Where the window stands, in the screen's pixels.
RECT shown;
// The stroke's points so far, in the screen's pixels, to draw it again when
// the window grows onto another monitor; the last one is where it stands.
POINT *points = nullptr;
int point_count = 0;
int point_room = 0;

// Windows 10 (1607) and later: the window is made aware of each monitor's
// scale, so that it is drawn in the screen's own pixels instead of being
// stretched by one monitor's factor, and the points, in the program's
// DPI-unaware pixels, are converted. `program_context` is the program's own
// while a message is handled; elsewhere both are null and everything stays
// in the program's pixels.
using dpi_setter = DPI_AWARENESS_CONTEXT(WINAPI *)(DPI_AWARENESS_CONTEXT);
dpi_setter set_thread_dpi = nullptr;
DPI_AWARENESS_CONTEXT program_context = nullptr;

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

screen_box box_of(const RECT &rect)
{
    return {rect.left, rect.top, rect.right, rect.bottom};
}

// A monitor in the screen's pixels (`info`), and as the program sees it.
struct monitor_view {
    MONITORINFO info;
    screen_box program;
};

monitor_view read_monitor(HMONITOR handle)
{
    monitor_view monitor;
    monitor.info.cbSize = sizeof monitor.info;
    // The nearest monitor always answers; were it not to, nothing shows.
    if (!GetMonitorInfoA(handle, &monitor.info))
        monitor.info.rcMonitor = monitor.info.rcWork = RECT{};
    monitor.program = box_of(monitor.info.rcMonitor);
    if (program_context != nullptr) {
        set_thread_dpi(program_context);
        MONITORINFO seen;
        seen.cbSize = sizeof seen;
        if (GetMonitorInfoA(handle, &seen))
            monitor.program = box_of(seen.rcMonitor);
        set_thread_dpi(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    }
    return monitor;
}

// The program's point (x, y) in the screen's pixels, and the monitor it is
// on.
POINT to_screen(std::int32_t x, std::int32_t y, monitor_view *monitor)
{
    POINT point = {x, y};
    if (program_context != nullptr)
        set_thread_dpi(program_context);
    HMONITOR handle = MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST);
    if (program_context != nullptr)
        set_thread_dpi(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    *monitor = read_monitor(handle);
    screen_point on_screen = scale_point({x, y}, monitor->program, box_of(monitor->info.rcMonitor));
    return {on_screen.x, on_screen.y};
}

int to_screen_length(int length, const monitor_view &monitor)
{
    return scale_length(length, monitor.program, box_of(monitor.info.rcMonitor));
}

bool scaled(const monitor_view &monitor)
{
    const RECT &screen = monitor.info.rcMonitor;
    return monitor.program.right - monitor.program.left != screen.right - screen.left;
}

void clear_trail()
{
    RECT all;
    GetClientRect(trail, &all);
    HDC dc = GetDC(trail);
    FillRect(dc, &all, see_through);
    ReleaseDC(trail, dc);
}

// Shows the window erased over `area` (screen pixels), above every other.
// Hidden first: a window activated meanwhile, by a click through the line
// say, may stand over it although the system still counts it first (Wine
// does), and only showing restacks it then.
void show_erased(const RECT &area)
{
    ShowWindow(trail, SW_HIDE);
    shown = area;
    SetWindowPos(trail, HWND_TOPMOST, area.left, area.top, area.right - area.left,
                 area.bottom - area.top, SWP_NOACTIVATE | SWP_SHOWWINDOW);
    // Erased with the class's see-through brush now, so that no later paint
    // wipes what is drawn.
    RedrawWindow(trail, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}

// The window's device context, drawn on in screen pixels.
HDC screen_dc()
{
    HDC dc = GetDC(trail);
    SetViewportOrgEx(dc, -shown.left, -shown.top, nullptr);
    return dc;
}

void keep_point(POINT point)
{
    if (point_count == point_room) {
        int room = point_room != 0 ? 2 * point_room : 256;
        auto *more = static_cast<POINT *>(std::realloc(points, room * sizeof(POINT)));
        // Without room the stroke goes on from its last point kept.
        if (more == nullptr) {
            if (point_count != 0)
                points[point_count - 1] = point;
            return;
        }
        points = more;
        point_room = room;
    }
    points[point_count++] = point;
}

void draw_points(HDC dc, const POINT *from, int count)
{
    HGDIOBJ before = SelectObject(dc, pen);
    Polyline(dc, from, count);
    SelectObject(dc, before);
}

// Over the monitor where the stroke begins: a window as large as every
// screen together would be erased whole for each stroke.
void begin_stroke(std::int32_t x, std::int32_t y)
{
    KillTimer(trail, LABEL_TIMER);
    monitor_view monitor;
    POINT start = to_screen(x, y, &monitor);
    int width = to_screen_length(LINE_WIDTH, monitor);
    if (pen == nullptr || width != pen_width) {
        HPEN made = CreatePen(PS_SOLID, width, LINE_COLOUR);
        if (made != nullptr) {
            if (pen != nullptr)
                DeleteObject(pen);
            pen = made;
            pen_width = width;
        }
    }
    point_count = 0;
    keep_point(start);
    show_erased(monitor.info.rcMonitor);
}

// Only the new segment is drawn, unless the stroke has left the window:
// then it grows onto that monitor and the whole stroke is drawn again.
void extend_stroke(std::int32_t x, std::int32_t y)
{
    if (point_count == 0)
        return;
    monitor_view monitor;
    POINT point = to_screen(x, y, &monitor);
    keep_point(point);
    if (point_count < 2)
        return;
    if (PtInRect(&shown, point)) {
        HDC dc = screen_dc();
        draw_points(dc, points + point_count - 2, 2);
        ReleaseDC(trail, dc);
        return;
    }
    RECT grown;
    UnionRect(&grown, &shown, &monitor.info.rcMonitor);
    show_erased(grown);
    HDC dc = screen_dc();
    draw_points(dc, points, point_count);
    ReleaseDC(trail, dc);
}

// The label's font: the usual one, scaled as the monitor is.
HFONT label_font(const monitor_view &monitor)
{
    auto font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA shape;
    if (!scaled(monitor) || GetObjectA(font, sizeof shape, &shape) == 0)
        return font;
    shape.lfHeight = to_screen_length(shape.lfHeight, monitor);
    shape.lfWidth = to_screen_length(shape.lfWidth, monitor);
    HFONT scaled = CreateFontIndirectA(&shape);
    return scaled != nullptr ? scaled : font;
}

// The line goes; the outcome shows below and right of the stroke's end, in
// the work area of the monitor nearest that end, until the timer.
void end_stroke()
{
    char *outcome = outcome_waiting.exchange(nullptr);
    if (outcome == nullptr || point_count == 0) {
        std::free(outcome);
        clear_trail();
        ShowWindow(trail, SW_HIDE);
        return;
    }
    POINT end = points[point_count - 1];
    point_count = 0;
    monitor_view monitor = read_monitor(MonitorFromPoint(end, MONITOR_DEFAULTTONEAREST));
    show_erased(monitor.info.rcMonitor);
    int length = lstrlenA(outcome);
    if (length > 0 && outcome[length - 1] == '\n')
        --length;
    HDC dc = screen_dc();
    HFONT font = label_font(monitor);
    HGDIOBJ before = SelectObject(dc, font);
    RECT box = {0, 0, 0, 0};
    DrawTextA(dc, outcome, length, &box, DT_CALCRECT | DT_NOPREFIX);
    int margin = to_screen_length(LABEL_MARGIN, monitor);
    screen_box label =
        place_label({end.x, end.y}, box.right + 2 * margin, box.bottom + 2 * margin,
                    to_screen_length(LABEL_OFFSET, monitor), box_of(monitor.info.rcWork));
    SetRect(&box, label.left, label.top, label.right, label.bottom);
    FillRect(dc, &box, label_brush);
    InflateRect(&box, -margin, -margin);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, TEXT_COLOUR);
    DrawTextA(dc, outcome, length, &box, DT_NOPREFIX);
    SelectObject(dc, before);
    if (font != GetStockObject(DEFAULT_GUI_FONT))
        DeleteObject(font);
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
        std::free(points);
        points = nullptr;
        point_count = 0;
        point_room = 0;
        return;
    }
    main_window = window;
    if (see_through == nullptr) {
        see_through = CreateSolidBrush(SEE_THROUGH);
        label_brush = CreateSolidBrush(LINE_COLOUR);
        WNDCLASSA window_class = {};
        window_class.lpfnWndProc = trail_window_proc;
        window_class.hInstance = g_instance;
        window_class.hbrBackground = see_through;
        window_class.lpszClassName = TRAIL_CLASS_NAME;
        RegisterClassA(&window_class);
        // Through the generic function type, which any other may be cast to.
        set_thread_dpi = reinterpret_cast<dpi_setter>(reinterpret_cast<void (*)()>(
            GetProcAddress(GetModuleHandleA("user32.dll"), "SetThreadDpiAwarenessContext")));
    }
    // A window takes the awareness of the thread that makes it.
    DPI_AWARENESS_CONTEXT program = nullptr;
    if (set_thread_dpi != nullptr)
        program = set_thread_dpi(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE);
    // Topmost, see-through to the mouse, never activated, never in the
    // taskbar or Alt+Tab. Owned by the hidden main window: Wine's taskbar
    // shows an unowned popup as large as the screen whatever its style.
    trail = CreateWindowExA(
        WS_EX_LAYERED | WS_EX_TRANSPARENT | WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE | WS_EX_TOPMOST,
        TRAIL_CLASS_NAME, "", WS_POPUP, 0, 0, 0, 0, main_window, nullptr, g_instance, nullptr);
    if (program != nullptr)
        set_thread_dpi(program);
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
    // In the window's own pixels for as long as it is handled.
    program_context = set_thread_dpi != nullptr
                          ? set_thread_dpi(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE)
                          : nullptr;
    if (message == WM_TRAIL_BEGIN)
        begin_stroke(x, y);
    else if (message == WM_TRAIL_MOVE)
        extend_stroke(x, y);
    else
        end_stroke();
    if (program_context != nullptr)
        set_thread_dpi(program_context);
    program_context = nullptr;
    return true;
}
