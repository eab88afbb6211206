// Whether a thread that called the shell and owns a window still answers
// messages sent to it while it cycles through the platform's pause, as the
// capture thread does. Prints the slowest answer in milliseconds; exit status
// 0 when every answer came within a few cycles, 1 otherwise.
#include "platform/platform.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace
{

HANDLE ready;
HWND target;

void cycle_forever(void *)
{
    char self[MAX_PATH];
    if (GetModuleFileNameA(nullptr, self, sizeof self) != 0)
        plat_shell_open(self, "exit");
    WNDCLASSA window_class = {};
    window_class.lpfnWndProc = DefWindowProcA;
    window_class.hInstance = GetModuleHandleA(nullptr);
    window_class.lpszClassName = "answers_messages";
    RegisterClassA(&window_class);
    target = CreateWindowExA(0, "answers_messages", "", WS_OVERLAPPED, 0, 0, 10, 10, nullptr,
                             nullptr, window_class.hInstance, nullptr);
    SetEvent(ready);
    for (;;)
        plat_sleep(10);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc > 1 && std::strcmp(argv[1], "exit") == 0)
        return 0;
    ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (ready == nullptr || !plat_start_thread(cycle_forever, nullptr) ||
        WaitForSingleObject(ready, 10000) != WAIT_OBJECT_0 || target == nullptr)
        return 2;
    DWORD slowest = 0;
    for (int round = 0; round < 20; ++round) {
        DWORD start = GetTickCount();
        DWORD_PTR result = 0;
        if (!SendMessageTimeoutA(target, WM_NULL, 0, 0, SMTO_NORMAL, 2000, &result))
            slowest = 2000;
        DWORD took = GetTickCount() - start;
        if (took > slowest)
            slowest = took;
        Sleep(7);
    }
    std::printf("slowest answer: %lu ms\n", static_cast<unsigned long>(slowest));
    return slowest <= 50 ? 0 : 1;
}
