#include "conf/line_reader.h"

#include "conf/diagnostics.h"
#include "platform/platform.h"

#include <cstdlib>
#include <cstring>

namespace
{

char read_buf[READ_BUF_SIZE];
int buf_count = 0;
int buf_pos = 0;

// Length and capacity of the line being assembled; bytes may include zeros,
// so the length cannot be taken from the text.
std::size_t line_len = 0;
std::size_t line_cap = 0;

} // namespace

void reset_line_reader()
{
    buf_count = 0;
    buf_pos = 0;
    line_len = 0;
    line_cap = 0;
}

char *add_to_line(char *line, int n)
{
    if (line == nullptr) {
        line_len = 0;
        line_cap = 0;
    }
    std::size_t need = line_len + static_cast<std::size_t>(n) + 1;
    if (need > line_cap) {
        std::size_t cap = line_cap * 2 > need ? line_cap * 2 : need;
        char *grown = static_cast<char *>(plat_realloc(line, cap));
        if (grown == nullptr) {
            std::free(line);
            conf_report("add_to_line : error malloc\n");
            return nullptr;
        }
        line = grown;
        line_cap = cap;
    }
    std::memcpy(line + line_len, read_buf + buf_pos, static_cast<std::size_t>(n));
    line_len += static_cast<std::size_t>(n);
    line[line_len] = '\0';
    buf_pos += n + 1;
    return line;
}

char *read_line(std::FILE *file)
{
    char *line = nullptr;
    for (;;) {
        if (buf_pos >= buf_count) {
            buf_count = static_cast<int>(std::fread(read_buf, 1, READ_BUF_SIZE, file));
            buf_pos = 0;
            if (buf_count == 0)
                return line;
        }
        const char *start = read_buf + buf_pos;
        const auto rest = static_cast<std::size_t>(buf_count - buf_pos);
        const void *feed = std::memchr(start, '\n', rest);
        if (feed != nullptr) {
            line = add_to_line(line, static_cast<int>(static_cast<const char *>(feed) - start));
            if (line == nullptr)
                reset_line_reader();
            return line;
        }
        // No line feed in the rest of the buffer: take it all and read on.
        line = add_to_line(line, static_cast<int>(rest));
        if (line == nullptr) {
            reset_line_reader();
            return nullptr;
        }
    }
}
