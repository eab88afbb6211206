/* The baseline for idle CPU under Wine: a program that does nothing but sleep
   10 ms in a loop, as the capture thread does between its two queries. */
#include <windows.h>

int main(void)
{
    for (;;)
        Sleep(10);
}
