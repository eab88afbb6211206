// The program in front on Hyprland: the answer of its request socket to
// "j/activewindow", named by its process's executable, then its class and
// the class it started with.
#include "platform/wayland/wayland_windows.h"

#include <json-glib/json-glib.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
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
    sockaddr_un address{};
    if (path.empty() || path.size() >= sizeof address.sun_path)
        return {};
    int fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    std::string answer;
    if (connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0 &&
        write(fd, REQUEST, sizeof REQUEST - 1) == static_cast<ssize_t>(sizeof REQUEST - 1)) {
        char buffer[4096];
        ssize_t got;
        // The answer ends when Hyprland closes the connection.
        while (answer.size() < MOST_REPLY && (got = read(fd, buffer, sizeof buffer)) > 0)
            answer.append(buffer, static_cast<std::size_t>(got));
    }
    close(fd);
    return answer;
}

std::string member_text(JsonObject *object, const char *name)
{
    JsonNode *node = json_object_get_member(object, name);
    if (node == nullptr || JSON_NODE_TYPE(node) != JSON_NODE_VALUE ||
        json_node_get_value_type(node) != G_TYPE_STRING)
        return {};
    return json_node_get_string(node);
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
