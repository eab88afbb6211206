// The one record shared by every subsystem: configuration, action slots and
// the running state of the capture.
#pragma once

#include "platform/platform.h"

#include <atomic>
#include <cstdint>

constexpr std::int32_t DEFAULT_PRECISION = 50;
constexpr std::int32_t DEFAULT_CAPTURE_KEY = 17; // Ctrl

// In the order of the context's action slots, so a kind indexes its slot.
enum gesture_kind {
    up,
    down,
    right,
    up_right,
    down_right,
    vertical,
    other,
    horizontal,
    up_left,
    down_left,
    left,
    no_gesture
};

constexpr int GESTURE_KIND_COUNT = no_gesture;

// Programs in whose windows gestures are off, by executable name.
constexpr int MAX_EXCLUDED = 32;

// Blocks of bindings for the programs they name, and names in one block.
constexpr int MAX_PROGRAM_BLOCKS = 32;
constexpr int MAX_BLOCK_NAMES = 8;

// The loader's block for lines that bind for every program, and for the
// lines of a block past MAX_PROGRAM_BLOCKS, which are dropped.
constexpr int EVERY_PROGRAM = -1;
constexpr int DROPPED_BLOCK = -2;

// How the capture in progress ends: as a gesture, or with nothing launched
// because a mouse button went down during it or it began over an excluded
// program.
enum capture_outcome { capture_gesture, capture_drag, capture_excluded };

// Program and parameter texts: owned heap strings or null.
struct action_slot {
    char *program;
    char *parameters;
};

// Bindings that apply while a program `names` names is in front; a kind
// left unbound here uses the binding for every program. Names and slot
// texts are owned heap strings.
struct program_block {
    char *names[MAX_BLOCK_NAMES];
    int name_count;
    action_slot slots[GESTURE_KIND_COUNT];
};

struct gesture_context {
    char *program_path; // not owned; cut to its directory by make_conf_path
    char *conf_path;    // owned; null only if it could not be allocated
    // Written by the loader on the user-interface thread, read by the capture
    // thread: atomic so a reload never tears a value.
    std::atomic<std::int32_t> precision;
    // Capture state, touched by the capture thread only.
    std::int32_t last_x;
    std::int32_t last_y;
    std::int32_t sum_right;
    std::int32_t sum_up;
    std::int32_t sum_down;
    std::int32_t sum_left;
    // Replaced by the slot writers and copied by the launcher, both under
    // plat_lock_slots; the lock is never held across a shell call.
    action_slot slots[GESTURE_KIND_COUNT];
    std::atomic<std::int32_t> key_code;
    // The exclude lines of the latest load: owned heap strings, replaced by
    // the loader and read at each press, both under plat_lock_slots.
    char *excluded[MAX_EXCLUDED];
    int excluded_count;
    // Exclude lines of the current load past the limit, so it is told once.
    int excluded_dropped;
    // Capture state, touched by the capture thread only: what the press
    // decided, the exclude line that matched, and the foreground window then
    // (0: a change is not to count).
    capture_outcome outcome;
    char excluded_by[FOREGROUND_NAME_SIZE];
    std::uintptr_t press_foreground;
    // Whether the desktop programs show the stroke as it is drawn (trail =
    // 1); written by the loader, read after each load on the same thread.
    bool trail;
    // The program blocks of the latest load, replaced by the loader and read
    // at each press and release, both under plat_lock_slots.
    program_block blocks[MAX_PROGRAM_BLOCKS];
    int block_count;
    // The loader's place: the block the lines being read belong to (or
    // EVERY_PROGRAM, DROPPED_BLOCK), whether the setting line before was a
    // program line (a row of them opens one block), and blocks and names
    // past the limits, so each is told once.
    int loading_block;
    bool program_line_before;
    int blocks_dropped;
    bool block_names_dropped;
    // Capture state: the program in front at the press (count 0 when it was
    // not asked or cannot be told).
    foreground_program pressed_over;
};

// The process's only context; it is never released.
extern gesture_context g_context;

// Fills `context` with its defaults and builds conf_path beside program_path.
// Runs once, before the first load: it does not free earlier strings.
void init_context(char *program_path, gesture_context *context);

// The first block naming one of `program`'s names, ignoring ASCII letter
// case, or -1 when none does. Under plat_lock_slots.
int find_program_block(const gesture_context *context, const foreground_program *program);

// Whether `a` and `b` are the same name, ignoring ASCII letter case.
bool same_program_name(const char *a, const char *b);

// A heap copy of `text` (through plat_malloc), or null when it cannot be
// allocated. The context's strings are all made this way.
char *copy_text(const char *text);

// The directory part of program_path (up to and including its last '\' or
// '/') followed by file_name, as a new heap string of any length; program_path
// is cut in place just after that separator. A path with no separator is cut
// to the empty text and a null path is left alone: both give file_name alone,
// which the process looks for in its current directory. Returns null only
// when the copy cannot be allocated.
char *make_conf_path(char *program_path, const char *file_name);
