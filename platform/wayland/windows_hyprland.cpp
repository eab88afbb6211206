// The program in front on Hyprland: the answer of its request socket to
// "j/activewindow", named by its process's executable, then its class and
// the class it started with.
#include "platform/wayland/wayland_windows.h"

#include "platform/wayland/compositor_ipc.h"

#include <json-glib/json-glib.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

namespace
{

constexpr char REQUEST[] = "j/activewindow";
constexpr std::size_t MOST_REPLY = 1024 * 1024;

// Where this instance's socket is: under the runtime folder since 0.40,
// under /tmp before.
std::string socket_path(bool newer)
{
    const char *instance = std::getenv("HYPRLAND_INSTANCE_SIGNATURE");
    const char *runtime = std::getenv("XDG_RUNTIME_DIR");
    if (instance == nullptr || *instance == '\0')
        return {};
    std::string folder = newer ? (runtime != nullptr ? std::string(runtime) : "") + "/hypr/"
                               : std::string("/tmp/hypr/");
    return folder + instance + "/.socket.sock";
}

std::string ask(const std::string &path)
{
    int fd = connect_socket(path);
    if (fd < 0)
        return {};
    std::string answer;
    if (write_all(fd, REQUEST, sizeof REQUEST - 1)) {
        char buffer[4096];
        ssize_t got;
        // The answer ends when Hyprland closes the connection.
        while (answer.size() < MOST_REPLY && (got = read(fd, buffer, sizeof buffer)) > 0)
            answer.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return answer;
}

bool hyprland_offered()
{
    return !socket_path(true).empty();
}

void hyprland_open() {}
void hyprland_close() {}

int hyprland_foreground(foreground_program *program)
{
    program->count = 0;
    std::string answer = ask(socket_path(true));
    if (answer.empty())
        answer = ask(socket_path(false));
    JsonParser *parser = json_parser_new();
    if (!answer.empty() &&
        json_parser_load_from_data(parser, answer.c_str(), static_cast<gssize>(answer.size()),
                                   nullptr)) {
        JsonNode *root = json_parser_get_root(parser);
        if (JSON_NODE_HOLDS_OBJECT(root)) {
            JsonObject *window = json_node_get_object(root);
            if (json_object_has_member(window, "pid"))
                add_program_name(program, executable_name(static_cast<unsigned long>(
                                              json_object_get_int_member(window, "pid"))));
            std::string name = member_text(window, "class");
            std::string initial = member_text(window, "initialClass");
            add_program_name(program, name);
            if (initial != name)
                add_program_name(program, initial);
        }
    }
    g_object_unref(parser);
    return program->count;
}

} // namespace

const wayland_window_way hyprland_windows = {"Hyprland's socket", hyprland_offered, hyprland_open,
                                             hyprland_close, hyprland_foreground};
