// The program in front on sway: the focused node of the tree its IPC socket
// ($SWAYSOCK) gives, named by its process's executable, then its app_id
// (Wayland clients) or its X11 class and instance (XWayland clients).
#include "platform/wayland/wayland_windows.h"

#include "platform/wayland/compositor_ipc.h"

#include <json-glib/json-glib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace
{

constexpr char MAGIC[] = "i3-ipc";
constexpr std::size_t MAGIC_LENGTH = sizeof MAGIC - 1;
constexpr std::uint32_t GET_TREE = 4;
// A tree is a few kilobytes a window; a reply past this is not read.
constexpr std::uint32_t MOST_REPLY = 16 * 1024 * 1024;

// The tree as JSON text; empty when sway cannot be asked.
std::string get_tree()
{
    const char *path = std::getenv("SWAYSOCK");
    int fd = connect_socket(path != nullptr ? path : "");
    if (fd < 0)
        return {};
    std::string tree;
    char header[MAGIC_LENGTH + 8];
    std::uint32_t fields[2] = {0, GET_TREE};
    std::memcpy(header, MAGIC, MAGIC_LENGTH);
    std::memcpy(header + MAGIC_LENGTH, fields, sizeof fields);
    if (write_all(fd, header, sizeof header) && read_all(fd, header, sizeof header) &&
        std::memcmp(header, MAGIC, MAGIC_LENGTH) == 0) {
        std::memcpy(fields, header + MAGIC_LENGTH, sizeof fields);
        if (fields[0] <= MOST_REPLY) {
            tree.resize(fields[0]);
            if (!read_all(fd, tree.data(), tree.size()))
                tree.clear();
        }
    }
    close(fd);
    return tree;
}

// The focused window among `node` and its descendants, or null.
JsonObject *focused(JsonObject *node)
{
    if (json_object_has_member(node, "focused") &&
        json_object_get_boolean_member(node, "focused") && json_object_has_member(node, "pid"))
        return node;
    for (const char *children : {"nodes", "floating_nodes"}) {
        if (!json_object_has_member(node, children))
            continue;
        JsonArray *array = json_object_get_array_member(node, children);
        for (guint i = 0; array != nullptr && i < json_array_get_length(array); ++i) {
            JsonNode *child = json_array_get_element(array, i);
            if (JSON_NODE_HOLDS_OBJECT(child))
                if (JsonObject *found = focused(json_node_get_object(child)))
                    return found;
        }
    }
    return nullptr;
}

bool sway_offered()
{
    const char *path = std::getenv("SWAYSOCK");
    return path != nullptr && *path != '\0';
}

void sway_open() {}
void sway_close() {}

int sway_foreground(foreground_program *program)
{
    program->count = 0;
    std::string tree = get_tree();
    if (tree.empty())
        return 0;
    JsonParser *parser = json_parser_new();
    if (json_parser_load_from_data(parser, tree.c_str(), static_cast<gssize>(tree.size()),
                                   nullptr)) {
        JsonNode *root = json_parser_get_root(parser);
        JsonObject *window =
            JSON_NODE_HOLDS_OBJECT(root) ? focused(json_node_get_object(root)) : nullptr;
        if (window != nullptr) {
            add_program_name(program, executable_name(static_cast<unsigned long>(
                                          json_object_get_int_member(window, "pid"))));
            add_program_name(program, member_text(window, "app_id"));
            if (json_object_has_member(window, "window_properties")) {
                JsonNode *x11 = json_object_get_member(window, "window_properties");
                if (JSON_NODE_HOLDS_OBJECT(x11)) {
                    add_program_name(program, member_text(json_node_get_object(x11), "instance"));
                    add_program_name(program, member_text(json_node_get_object(x11), "class"));
                }
            }
        }
    }
    g_object_unref(parser);
    return program->count;
}

} // namespace

const wayland_window_way sway_windows = {"sway's IPC", sway_offered, sway_open, sway_close,
                                         sway_foreground};
