/* Key release to launch of the Linux sorvak on an X display. Started as
   "release_x11 COUNT STAMPS", it makes COUNT strokes through XTest: Ctrl
   down, the pointer 300 px to the right in steps 10 ms apart, a pause of
   50 to 60 ms, Ctrl up. The program's conf.txt binds the rightward stroke
   to "release_x11 | stamp STAMPS", which appends the moment it starts to
   STAMPS; each delay from the release to that moment is printed in ms.
   Both moments are CLOCK_MONOTONIC. */
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

static double now_ms(void)
{
    struct timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

static void pause_ms(double ms)
{
    struct timespec t = {(time_t)(ms / 1000), (long)((ms - (time_t)(ms / 1000) * 1000) * 1e6)};
    nanosleep(&t, NULL);
}

static long file_size(const char *path)
{
    struct stat s;
    return stat(path, &s) == 0 ? (long)s.st_size : 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && strcmp(argv[1], "stamp") == 0) {
        double started = now_ms();
        FILE *stamps = fopen(argv[2], "a");
        if (stamps == NULL)
            return 1;
        fprintf(stamps, "%.3f\n", started);
        return fclose(stamps) != 0;
    }
    if (argc != 3)
        return 2;
    int count = atoi(argv[1]);
    const char *stamps = argv[2];
    Display *display = XOpenDisplay(NULL);
    if (display == NULL)
        return 1;
    KeyCode ctrl = XKeysymToKeycode(display, XK_Control_L);
    srand(1);
    for (int i = 0; i < count; ++i) {
        XTestFakeMotionEvent(display, -1, 300, 400, 0);
        XTestFakeKeyEvent(display, ctrl, True, 0);
        XSync(display, False);
        pause_ms(50);
        for (int step = 1; step <= 30; ++step) {
            XTestFakeMotionEvent(display, -1, 300 + 10 * step, 400, 0);
            XSync(display, False);
            pause_ms(10);
        }
        /* Released anywhere in the program's 10 ms cycle, as a hand would. */
        pause_ms(50 + rand() % 1000 / 100.0);
        long before = file_size(stamps);
        double released = now_ms();
        XTestFakeKeyEvent(display, ctrl, False, 0);
        XFlush(display);
        double deadline = released + 5000;
        while (file_size(stamps) == before && now_ms() < deadline)
            pause_ms(0.2);
        pause_ms(2);
        FILE *file = fopen(stamps, "r");
        double started = -1;
        char line[64];
        while (file != NULL && fgets(line, sizeof line, file) != NULL)
            started = atof(line);
        if (file != NULL)
            fclose(file);
        if (file_size(stamps) == before)
            printf("none\n");
        else
            printf("%.3f\n", started - released);
        fflush(stdout);
        pause_ms(200);
    }
    XCloseDisplay(display);
    return 0;
}
