// Control of the test allocator that stands in for platform/shared/memory.cpp: it
// counts the calls of plat_malloc and plat_realloc and can make one of them,
// or every one from then on, fail.
#pragma once

// Counts calls from zero again; the `nth` call from now (1 = the next one)
// fails, and with `sticky` every later one too. 0 never fails.
void fail_allocation(long nth, bool sticky = false);

// Calls counted since the last fail_allocation.
long allocation_calls();
// Whether the failing call of the last armed countdown was a plat_realloc.
bool failed_on_realloc();
