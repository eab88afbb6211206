// plat_malloc and plat_realloc with a countdown to failure. Tests that link
// this instead of sorvak_memory drive every allocation path of the core.
#include "failing_memory.h"

#include "platform/platform.h"

#include <atomic>
#include <cstdlib>

namespace
{

std::atomic<long> calls{0};
std::atomic<long> fail_at{0};
std::atomic<bool> keep_failing{false};
std::atomic<bool> realloc_failed{false};

bool should_fail(bool is_realloc)
{
    long n = ++calls;
    long target = fail_at.load();
    bool fail = target != 0 && (n == target || (keep_failing.load() && n > target));
    if (fail && n == target)
        realloc_failed.store(is_realloc);
    return fail;
}

} // namespace

void fail_allocation(long nth, bool sticky)
{
    calls.store(0);
    fail_at.store(nth);
    keep_failing.store(sticky);
    // Disarming keeps the last outcome readable.
    if (nth != 0)
        realloc_failed.store(false);
}

long allocation_calls()
{
    return calls.load();
}

bool failed_on_realloc()
{
    return realloc_failed.load();
}

void *plat_malloc(std::size_t size)
{
    return should_fail(false) ? nullptr : std::malloc(size);
}

// A failed realloc leaves the block as it was, as the real one does.
void *plat_realloc(void *block, std::size_t size)
{
    return should_fail(true) ? nullptr : std::realloc(block, size);
}
