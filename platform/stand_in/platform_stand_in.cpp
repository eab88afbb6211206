// The portable stand-in for the Windows operations: scripted key states and
// cursor, recorded shell calls, hookable sleep and exit.
#include "platform/platform.h"
#include "platform/stand_in/stand_in.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

namespace
{

struct key_entry {
    std::int32_t code;
    std::int16_t state;
};

struct stand_in_state {
    std::int16_t all_keys = 0;
    bool per_key = false;
    std::vector<key_entry> keys;
    std::int32_t x = 0;
    std::int32_t y = 0;
    bool readable = true;
    long key_queries = 0;
    long cursor_reads = 0;
    void (*sleep_hook)(void *) = nullptr;
    void *sleep_user = nullptr;
    void (*shell_hook)(const char *, const char *, void *) = nullptr;
    void *shell_user = nullptr;
    void (*exit_hook)(int, void *) = nullptr;
    void *exit_user = nullptr;
    bool record = true;
    bool has_executable_path = false;
    std::string executable_path;
    std::vector<std::string> foreground;
    long foreground_queries = 0;
    std::string sent_keys;
    key_id refused = KEY_ID_COUNT;
    std::uintptr_t foreground_window = 0;
    long foreground_window_queries = 0;
};

stand_in_state state;

// Shell calls come from the capture thread while a test may read them.
std::mutex shell_mutex;
std::vector<stand_in_shell_call> shell_calls;

} // namespace

std::int16_t plat_key_state(std::int32_t key_code)
{
    ++state.key_queries;
    if (!state.per_key)
        return state.all_keys;
    for (const key_entry &entry : state.keys)
        if (entry.code == key_code)
            return entry.state;
    return 0;
}

int plat_cursor_pos(std::int32_t *x, std::int32_t *y)
{
    ++state.cursor_reads;
    if (!state.readable)
        return 0;
    *x = state.x;
    *y = state.y;
    return 1;
}

int plat_foreground_program(foreground_program *program)
{
    ++state.foreground_queries;
    program->count = 0;
    for (const std::string &name : state.foreground) {
        if (program->count == FOREGROUND_NAME_COUNT)
            break;
        char *out = program->names[program->count++];
        std::size_t length = name.copy(out, FOREGROUND_NAME_SIZE - 1);
        out[length] = '\0';
    }
    return program->count;
}

std::uintptr_t plat_foreground_window()
{
    ++state.foreground_window_queries;
    return state.foreground_window;
}

void plat_sleep(std::uint32_t)
{
    if (state.sleep_hook != nullptr)
        state.sleep_hook(state.sleep_user);
}

void plat_shell_open(const char *file, const char *parameters)
{
    if (state.record) {
        std::lock_guard<std::mutex> hold(shell_mutex);
        shell_calls.push_back({file, parameters});
    }
    if (state.shell_hook != nullptr)
        state.shell_hook(file, parameters, state.shell_user);
}

int plat_send_key(key_id key, bool down)
{
    if (key == state.refused)
        return 0;
    if (!state.sent_keys.empty())
        state.sent_keys += ' ';
    state.sent_keys += (down ? '+' : '-') + std::to_string(static_cast<int>(key));
    return 1;
}

std::string stand_in_sent_keys()
{
    return state.sent_keys;
}

void stand_in_refuse_key(key_id key)
{
    state.refused = key;
}

void plat_exit(int status)
{
    if (state.exit_hook != nullptr)
        state.exit_hook(status, state.exit_user);
    std::exit(status);
}

char *plat_executable_path()
{
    if (!state.has_executable_path)
        return nullptr;
    std::size_t size = state.executable_path.size() + 1;
    char *copy = static_cast<char *>(plat_malloc(size));
    if (copy != nullptr)
        std::memcpy(copy, state.executable_path.c_str(), size);
    return copy;
}

void stand_in_set_executable_path(const char *path)
{
    state.has_executable_path = path != nullptr;
    state.executable_path = path != nullptr ? path : "";
}

void stand_in_set_all_keys(std::int16_t key_state)
{
    state.per_key = false;
    state.keys.clear();
    state.all_keys = key_state;
}

void stand_in_set_key(std::int32_t key_code, std::int16_t key_state)
{
    state.per_key = true;
    for (key_entry &entry : state.keys)
        if (entry.code == key_code) {
            entry.state = key_state;
            return;
        }
    state.keys.push_back({key_code, key_state});
}

void stand_in_clear_keys()
{
    state.per_key = true;
    state.keys.clear();
}

void stand_in_set_cursor(std::int32_t x, std::int32_t y, bool readable)
{
    state.x = x;
    state.y = y;
    state.readable = readable;
}

long stand_in_key_queries()
{
    return state.key_queries;
}
long stand_in_cursor_reads()
{
    return state.cursor_reads;
}

void stand_in_set_foreground(const std::vector<std::string> &names)
{
    state.foreground = names;
}

long stand_in_foreground_queries()
{
    return state.foreground_queries;
}

void stand_in_set_foreground_window(std::uintptr_t window)
{
    state.foreground_window = window;
}

long stand_in_foreground_window_queries()
{
    return state.foreground_window_queries;
}

void stand_in_on_sleep(void (*hook)(void *), void *user)
{
    state.sleep_hook = hook;
    state.sleep_user = user;
}

void stand_in_on_shell(void (*hook)(const char *, const char *, void *), void *user)
{
    state.shell_hook = hook;
    state.shell_user = user;
}

void stand_in_record_shell(bool on)
{
    state.record = on;
}

std::vector<stand_in_shell_call> stand_in_shell_calls()
{
    std::lock_guard<std::mutex> hold(shell_mutex);
    return shell_calls;
}

void stand_in_clear_shell_calls()
{
    std::lock_guard<std::mutex> hold(shell_mutex);
    shell_calls.clear();
}

void stand_in_on_exit(void (*hook)(int, void *), void *user)
{
    state.exit_hook = hook;
    state.exit_user = user;
}

void stand_in_reset()
{
    state = stand_in_state{};
    stand_in_clear_shell_calls();
}
