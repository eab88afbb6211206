#include "linux/trail_linux.h"

#include "gesture/capture_loop.h"
#include "linux/desktop_notice.h"
#include "linux/program_icon.h"

#include <X11/Xlib.h>
#include <X11/extensions/shape.h>
#include <gdk/gdkx.h>
#include <gtk/gtk.h>

#include <algorithm>
#include <cstdint>
#include <string>

namespace
{

// The colour of the Windows program's line and label.
constexpr unsigned short LINE_RED = 0xFFFF;
constexpr unsigned short LINE_GREEN = 0x8C8C;
constexpr unsigned short LINE_BLUE = 0;
constexpr char LABEL_STYLE[] = "window { background-color: #ff8c00; }"
                               "label { color: #000000; margin: 3px 5px; }";
constexpr int LINE_WIDTH = 4;
constexpr guint LABEL_MS = 1000;
// The label's distance from the pointer, in the desktop's own pixels.
constexpr int LABEL_OFFSET = 16;
// A change of the line's shape costs the X server (and a compositor, which
// fetches the whole shape again) in proportion to the line so far: changes
// come at most this often, and never take more than a fiftieth of the
// server's time, however long the key is held.
constexpr gint64 SHAPE_INTERVAL_US = 30000;
constexpr gint64 SHAPE_COST_FACTOR = 50;

// ---- from the capture thread to the main loop

enum stroke_step { step_begin, step_move, step_end };

struct stroke_event {
    stroke_step step;
    std::int32_t x;
    std::int32_t y;
    char *outcome;
};

// Touched on the user-interface thread only.
const trail_display *shown = nullptr;

gboolean take_stroke_event(gpointer data)
{
    auto *event = static_cast<stroke_event *>(data);
    const trail_display *display = shown;
    if (display != nullptr) {
        if (event->step == step_begin && display->begin != nullptr)
            display->begin(event->x, event->y);
        else if (event->step == step_move && display->move != nullptr)
            display->move(event->x, event->y);
        else if (event->step == step_end && display->end != nullptr)
            display->end(event->outcome);
    }
    g_free(event->outcome);
    g_free(event);
    return G_SOURCE_REMOVE;
}

// Sources of one priority run in the order they were added, so the steps
// arrive in order.
void hand_over(stroke_step step, std::int32_t x, std::int32_t y, const char *outcome)
{
    auto *event = g_new(stroke_event, 1);
    *event = {step, x, y, g_strdup(outcome)};
    g_idle_add_full(G_PRIORITY_DEFAULT, take_stroke_event, event, nullptr);
}

const stroke_view handing_view = {
    [](std::int32_t x, std::int32_t y) { hand_over(step_begin, x, y, nullptr); },
    [](std::int32_t x, std::int32_t y) { hand_over(step_move, x, y, nullptr); },
    [](const char *outcome) { hand_over(step_end, 0, 0, outcome); },
};

// The outcome without its last newline, in UTF-8 (a path from conf.txt may
// not be).
std::string outcome_text(const char *outcome)
{
    gchar *valid = g_utf8_make_valid(outcome, -1);
    std::string text = valid;
    g_free(valid);
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    return text;
}

// ---- drawn over the screen (X11)

struct drawing {
    Display *display = nullptr;
    Window window = 0;
    // The line so far, one bit a pixel of the screen: the window's shape.
    Pixmap mask = 0;
    unsigned mask_width = 0;
    unsigned mask_height = 0;
    GC mask_gc = nullptr;
    bool mapped = false;
    int last_x = 0;
    int last_y = 0;
    // When the shape may change next (GLib's monotonic clock), and the timer
    // that then gives it what was drawn meanwhile.
    gint64 next_shape = 0;
    guint shape_timer = 0;
    GtkWidget *label_window = nullptr;
    GtkWidget *label = nullptr;
    guint label_timer = 0;
};

drawing drawn;

// GDK ends the program on an X error it did not expect; a trail is never
// worth that.
void ignore_errors()
{
    gdk_x11_display_error_trap_push(gdk_display_get_default());
}
void flush_ignoring_errors()
{
    XFlush(drawn.display);
    gdk_x11_display_error_trap_pop_ignored(gdk_display_get_default());
}

void set_no_shape(int kind)
{
    XShapeCombineRectangles(drawn.display, drawn.window, kind, 0, 0, nullptr, 0, ShapeSet,
                            Unsorted);
}

// The window takes the mask as its shape: only the line covers anything.
void set_shape()
{
    gint64 start = g_get_monotonic_time();
    XShapeCombineMask(drawn.display, drawn.window, ShapeBounding, 0, 0, drawn.mask, ShapeSet);
    // The round trip measures what the change cost the server.
    XSync(drawn.display, False);
    gint64 now = g_get_monotonic_time();
    drawn.next_shape = now + std::max(SHAPE_INTERVAL_US, (now - start) * SHAPE_COST_FACTOR);
}

void stop_shape_timer()
{
    if (drawn.shape_timer != 0)
        g_source_remove(drawn.shape_timer);
    drawn.shape_timer = 0;
}

gboolean set_shape_later(gpointer)
{
    drawn.shape_timer = 0;
    ignore_errors();
    set_shape();
    flush_ignoring_errors();
    return G_SOURCE_REMOVE;
}

// A mask of `width` by `height`, all clear.
void clear_mask(unsigned width, unsigned height)
{
    if (drawn.mask == 0 || drawn.mask_width != width || drawn.mask_height != height) {
        if (drawn.mask != 0)
            XFreePixmap(drawn.display, drawn.mask);
        drawn.mask = XCreatePixmap(drawn.display, drawn.window, width, height, 1);
        drawn.mask_width = width;
        drawn.mask_height = height;
    }
    XSetForeground(drawn.display, drawn.mask_gc, 0);
    XFillRectangle(drawn.display, drawn.mask, drawn.mask_gc, 0, 0, width, height);
    XSetForeground(drawn.display, drawn.mask_gc, 1);
}

gboolean hide_label(gpointer)
{
    gtk_widget_hide(drawn.label_window);
    drawn.label_timer = 0;
    return G_SOURCE_REMOVE;
}

void stop_label()
{
    if (drawn.label_timer != 0)
        g_source_remove(drawn.label_timer);
    hide_label(nullptr);
}

void make_label()
{
    drawn.label_window = gtk_window_new(GTK_WINDOW_POPUP);
    gtk_window_set_type_hint(GTK_WINDOW(drawn.label_window), GDK_WINDOW_TYPE_HINT_TOOLTIP);
    drawn.label = gtk_label_new("");
    gtk_container_add(GTK_CONTAINER(drawn.label_window), drawn.label);
    GtkCssProvider *style = gtk_css_provider_new();
    gtk_css_provider_load_from_data(style, LABEL_STYLE, -1, nullptr);
    for (GtkWidget *widget : {drawn.label_window, drawn.label})
        gtk_style_context_add_provider(gtk_widget_get_style_context(widget),
                                       GTK_STYLE_PROVIDER(style),
                                       GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(style);
    gtk_widget_show(drawn.label);
    // Clicks pass through the label too.
    gtk_widget_realize(drawn.label_window);
    cairo_region_t *nowhere = cairo_region_create();
    gtk_widget_input_shape_combine_region(drawn.label_window, nowhere);
    cairo_region_destroy(nowhere);
}

// Below and right of the pointer, kept on the screen. GTK places windows in
// the desktop's pixels, which a scaled desktop (GDK_SCALE=2) makes larger
// than the server's.
void show_label(const char *outcome)
{
    gtk_label_set_text(GTK_LABEL(drawn.label), outcome_text(outcome).c_str());
    gtk_window_resize(GTK_WINDOW(drawn.label_window), 1, 1);
    GtkRequisition size;
    gtk_widget_get_preferred_size(drawn.label_window, nullptr, &size);
    int scale = std::max(gtk_widget_get_scale_factor(drawn.label_window), 1);
    Screen *screen = DefaultScreenOfDisplay(drawn.display);
    int x = drawn.last_x;
    int y = drawn.last_y;
    Window root = 0;
    Window child = 0;
    int window_x = 0;
    int window_y = 0;
    unsigned mask = 0;
    XQueryPointer(drawn.display, RootWindowOfScreen(screen), &root, &child, &x, &y, &window_x,
                  &window_y, &mask);
    int left = std::min(x / scale + LABEL_OFFSET, WidthOfScreen(screen) / scale - size.width);
    int top = std::min(y / scale + LABEL_OFFSET, HeightOfScreen(screen) / scale - size.height);
    gtk_window_move(GTK_WINDOW(drawn.label_window), std::max(left, 0), std::max(top, 0));
    gtk_widget_show(drawn.label_window);
    gdk_window_raise(gtk_widget_get_window(drawn.label_window));
    drawn.label_timer = g_timeout_add(LABEL_MS, hide_label, nullptr);
}

bool open_drawn()
{
    GdkDisplay *gdk = gdk_display_get_default();
    if (gdk == nullptr || !GDK_IS_X11_DISPLAY(gdk))
        return false;
    drawn.display = gdk_x11_display_get_xdisplay(gdk);
    int event_base = 0;
    int error_base = 0;
    if (!XShapeQueryExtension(drawn.display, &event_base, &error_base))
        return false;
    ignore_errors();
    int screen = DefaultScreen(drawn.display);
    XColor colour = {};
    colour.red = LINE_RED;
    colour.green = LINE_GREEN;
    colour.blue = LINE_BLUE;
    if (!XAllocColor(drawn.display, DefaultColormap(drawn.display, screen), &colour))
        colour.pixel = WhitePixel(drawn.display, screen);
    // Override-redirect: no window manager frames it, moves it or gives it
    // the focus. Its background is the line: the shape does the drawing.
    XSetWindowAttributes attributes = {};
    attributes.override_redirect = True;
    attributes.background_pixel = colour.pixel;
    drawn.window = XCreateWindow(drawn.display, RootWindow(drawn.display, screen), 0, 0, 1, 1, 0,
                                 CopyFromParent, InputOutput, CopyFromParent,
                                 CWOverrideRedirect | CWBackPixel, &attributes);
    XStoreName(drawn.display, drawn.window, "sorvak trail");
    // No input anywhere: clicks reach the windows under the line.
    set_no_shape(ShapeInput);
    set_no_shape(ShapeBounding);
    Pixmap one_bit = XCreatePixmap(drawn.display, drawn.window, 1, 1, 1);
    drawn.mask_gc = XCreateGC(drawn.display, one_bit, 0, nullptr);
    XFreePixmap(drawn.display, one_bit);
    XSetLineAttributes(drawn.display, drawn.mask_gc, LINE_WIDTH, LineSolid, CapRound, JoinRound);
    flush_ignoring_errors();
    make_label();
    return true;
}

void close_drawn()
{
    stop_label();
    stop_shape_timer();
    gtk_widget_destroy(drawn.label_window);
    ignore_errors();
    if (drawn.mask != 0)
        XFreePixmap(drawn.display, drawn.mask);
    XFreeGC(drawn.display, drawn.mask_gc);
    XDestroyWindow(drawn.display, drawn.window);
    flush_ignoring_errors();
    drawn = drawing{};
}

void begin_drawn(int x, int y)
{
    stop_label();
    ignore_errors();
    // The screen may have grown or shrunk since the last stroke.
    Screen *screen = DefaultScreenOfDisplay(drawn.display);
    auto width = static_cast<unsigned>(WidthOfScreen(screen));
    auto height = static_cast<unsigned>(HeightOfScreen(screen));
    stop_shape_timer();
    XMoveResizeWindow(drawn.display, drawn.window, 0, 0, width, height);
    clear_mask(width, height);
    XDrawLine(drawn.display, drawn.mask, drawn.mask_gc, x, y, x, y);
    set_shape();
    XMapRaised(drawn.display, drawn.window);
    drawn.mapped = true;
    flush_ignoring_errors();
    drawn.last_x = x;
    drawn.last_y = y;
}

// Only the new segment is sent; the shape takes it at once, or with what
// follows when the last change is too recent.
void extend_drawn(int x, int y)
{
    if (!drawn.mapped)
        return;
    ignore_errors();
    XDrawLine(drawn.display, drawn.mask, drawn.mask_gc, drawn.last_x, drawn.last_y, x, y);
    if (drawn.shape_timer == 0) {
        gint64 wait = drawn.next_shape - g_get_monotonic_time();
        if (wait <= 0)
            set_shape();
        else
            drawn.shape_timer =
                g_timeout_add(static_cast<guint>(wait / 1000 + 1), set_shape_later, nullptr);
    }
    flush_ignoring_errors();
    drawn.last_x = x;
    drawn.last_y = y;
}

void end_drawn(const char *outcome)
{
    stop_shape_timer();
    ignore_errors();
    XUnmapWindow(drawn.display, drawn.window);
    set_no_shape(ShapeBounding);
    flush_ignoring_errors();
    drawn.mapped = false;
    stop_label();
    show_label(outcome);
}

// ---- told as a desktop notice

// Each stroke's notice replaces the last one: a desktop that keeps every
// notice would otherwise list one for each Ctrl shortcut.
notice_series outcomes;

void notice_outcome(const char *outcome)
{
    show_desktop_notice("sorvak", outcome_text(outcome).c_str(), program_icon(),
                        static_cast<int>(LABEL_MS), &outcomes);
}

} // namespace

const trail_display drawn_trail = {open_drawn, close_drawn, begin_drawn, extend_drawn, end_drawn};
const trail_display noticed_trail = {nullptr, nullptr, nullptr, nullptr, notice_outcome};

bool show_trail(const trail_display *display)
{
    if (display == shown)
        return true;
    watch_strokes(nullptr);
    if (shown != nullptr && shown->close != nullptr)
        shown->close();
    shown = nullptr;
    if (display == nullptr)
        return true;
    if (display->open != nullptr && !display->open())
        return false;
    shown = display;
    watch_strokes(&handing_view);
    return true;
}
