#include "gesture/gesture_context.h"

#include "platform/platform.h"

#include <cstring>

gesture_context g_context;

char *copy_text(const char *text)
{
    std::size_t size = std::strlen(text) + 1;
    char *copy = static_cast<char *>(plat_malloc(size));
    if (copy != nullptr)
        std::memcpy(copy, text, size);
    return copy;
}

char *make_conf_path(char *program_path, const char *file_name)
{
    std::size_t dir_len = 0;
    if (program_path != nullptr) {
        char *sep = nullptr;
        for (char *p = program_path; *p != '\0';) {
            if (*p == '\\' || *p == '/')
                sep = p;
            // Whole characters: the second byte of one may look like a backslash.
            for (unsigned n = plat_char_size(static_cast<unsigned char>(*p)); n != 0 && *p != '\0';
                 --n)
                ++p;
        }
        if (sep != nullptr)
            sep[1] = '\0';
        else
            program_path[0] = '\0';
        dir_len = std::strlen(program_path);
    }
    std::size_t name_len = std::strlen(file_name);
    char *path = static_cast<char *>(plat_malloc(dir_len + name_len + 1));
    if (path == nullptr)
        return nullptr;
    if (dir_len != 0)
        std::memcpy(path, program_path, dir_len);
    std::memcpy(path + dir_len, file_name, name_len + 1);
    return path;
}

void init_context(char *program_path, gesture_context *context)
{
    context->program_path = program_path;
    context->conf_path = make_conf_path(program_path, "conf.txt");
    context->precision.store(DEFAULT_PRECISION);
    context->last_x = 0;
    context->last_y = 0;
    context->sum_right = 0;
    context->sum_up = 0;
    context->sum_down = 0;
    context->sum_left = 0;
    for (action_slot &slot : context->slots) {
        slot.program = nullptr;
        slot.parameters = nullptr;
    }
    context->key_code.store(DEFAULT_CAPTURE_KEY);
    for (char *&name : context->excluded)
        name = nullptr;
    context->excluded_count = 0;
    context->excluded_dropped = 0;
    context->outcome = capture_gesture;
    context->excluded_by[0] = '\0';
    context->press_foreground = 0;
    context->trail = false;
    for (program_block &block : context->blocks)
        block = program_block{};
    context->block_count = 0;
    context->loading_block = EVERY_PROGRAM;
    context->program_line_before = false;
    context->blocks_dropped = 0;
    context->block_names_dropped = false;
    context->pressed_over.count = 0;
}

namespace
{

char ascii_lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

bool same_program_name(const char *a, const char *b)
{
    for (; *a != '\0' && *b != '\0'; ++a, ++b)
        if (ascii_lower(*a) != ascii_lower(*b))
            return false;
    return *a == *b;
}

int find_program_block(const gesture_context *context, const foreground_program *program)
{
    for (int b = 0; b < context->block_count; ++b)
        for (int i = 0; i < context->blocks[b].name_count; ++i)
            for (int n = 0; n < program->count; ++n)
                if (same_program_name(context->blocks[b].names[i], program->names[n]))
                    return b;
    return -1;
}
