/* Baselines for the idle cost of the Linux sorvak. Started plain it only
   sleeps 10 ms in a loop; started with the argument "poll" it also asks the
   X server the two questions of a sampling capture cycle (the keyboard's
   state, then the pointer), what the program cost while it sampled. */
#include <X11/Xlib.h>

#include <string.h>
#include <time.h>

int main(int argc, char **argv)
{
    const struct timespec pause = {0, 10 * 1000 * 1000};
    Display *display = NULL;
    if (argc > 1 && strcmp(argv[1], "poll") == 0) {
        display = XOpenDisplay(NULL);
        if (display == NULL)
            return 1;
    }
    for (;;) {
        if (display != NULL) {
            char keys[32];
            Window root, child;
            int root_x, root_y, x, y;
            unsigned mask;
            XQueryKeymap(display, keys);
            XQueryPointer(display, DefaultRootWindow(display), &root, &child, &root_x, &root_y, &x,
                          &y, &mask);
        }
        nanosleep(&pause, NULL);
    }
}
