// Times the full-screen saver's start-up and drawing under the real Win32 calls
// (run it under Wine on the display to be measured). Every time comes from
// QueryPerformanceCounter; repeated measurements print their median, minimum and
// maximum in milliseconds.
//
//   startup_bench steps [ROUNDS]      the start-up steps, in the window's order,
//                                     over a picture shown full screen
//   startup_bench draw [FRAMES]       Draw of a screen-sized frame into a visible
//                                     full-screen window, and whole ticks
//   startup_bench launch SCR [RUNS]   from starting "SCR /s" to its window and to
//                                     its first frame on the screen, beside the
//                                     start of an empty process
//   startup_bench water W H [TICKS]   water steps of a W x H screen after 300 steps
//                                     of rain, with each kernel set the processor
//                                     runs; needs no display
//   startup_bench gl [ROUNDS]         the GL engine's start on a full-screen window,
//                                     self-test included, beside the automatic
//                                     choice's; then ticks with their drawing
//   startup_bench nop                 returns at once (the empty process)
#include "bench.h"

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"nop")
        return 0;
    if (command == L"steps")
        return bench::Steps(argc > 2 ? _wtoi(argv[2]) : 10);
    if (command == L"draw")
        return bench::Draw(argc > 2 ? _wtoi(argv[2]) : 100);
    if (command == L"water" && argc > 3)
        return bench::Water(_wtoi(argv[2]), _wtoi(argv[3]), argc > 4 ? _wtoi(argv[4]) : 30);
    if (command == L"gl")
        return bench::GlStart(argc > 2 ? _wtoi(argv[2]) : 5);
    if (command == L"launch" && argc > 2)
        return bench::Launch(argv[2], argc > 3 ? _wtoi(argv[3]) : 5);
    std::printf("usage: startup_bench steps [ROUNDS] | draw [FRAMES] | launch SCR [RUNS] | "
                "water W H [TICKS] | gl [ROUNDS] | nop\n");
    return 2;
}
