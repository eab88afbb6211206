// The slot lock and the thread start from the standard library, for the
// platforms that have it at hand: the stand-in and Linux.
#include "platform/platform.h"

#include <mutex>
#include <system_error>
#include <thread>

namespace
{
std::mutex slot_mutex;
}

void plat_lock_slots()
{
    slot_mutex.lock();
}

void plat_unlock_slots()
{
    slot_mutex.unlock();
}

int plat_start_thread(void (*body)(void *), void *argument)
{
    try {
        std::thread(body, argument).detach();
    } catch (const std::system_error &) {
        return 0;
    }
    return 1;
}
