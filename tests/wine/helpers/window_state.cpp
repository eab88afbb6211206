// Prints whether the first top-level window of the class named on the
// command line is shown, and where: "shown LEFT TOP RIGHT BOTTOM" (screen
// pixels), "hidden" or "none".
#include <windows.h>

#include <cstdio>

int main(int argc, char **argv)
{
    if (argc != 2)
        return 2;
    HWND window = FindWindowA(argv[1], nullptr);
    RECT box;
    if (window == nullptr)
        std::puts("none");
    else if (!IsWindowVisible(window) || !GetWindowRect(window, &box))
        std::puts("hidden");
    else
        std::printf("shown %ld %ld %ld %ld\n", box.left, box.top, box.right, box.bottom);
    return 0;
}
