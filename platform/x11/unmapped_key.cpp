#include "platform/x11/unmapped_key.h"

#include "platform/x11/x11_key_table.h"

bool report_unmapped_capture_key(std::int32_t key_code, std::FILE *stream)
{
    x11_key key;
    if (key_code == 0 || find_x11_key(key_code, &key))
        return false;
    std::fprintf(stream, "key value %d has no X11 equivalent, the capture key is never down\n",
                 static_cast<int>(key_code));
    return true;
}
