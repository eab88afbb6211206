#include "platform/linux/unmapped_key.h"

#include "platform/linux/input_platform.h"

bool report_unmapped_capture_key(std::int32_t key_code, std::FILE *stream)
{
    const input_platform &input = input_in_use();
    if (key_code == 0 || input.knows_key(key_code))
        return false;
    std::fprintf(stream, "key value %d has no %s equivalent, the capture key is never down\n",
                 static_cast<int>(key_code), input.name);
    return true;
}
