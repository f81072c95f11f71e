// Loaded into rillo.scr by a message hook of the probe, to count the timer messages
// its thread takes from its queue: each one is a tick of the water. The count lives
// in a named shared memory block that the probe creates and reads.
#include <windows.h>

namespace {

volatile LONG* Counter() {
    static volatile LONG* counter = [] {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, L"RilloProbeTicks");
        void* view = mapping ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(LONG)) : nullptr;
        // The view stays mapped for the life of the process; the handle is not needed.
        if (mapping)
            CloseHandle(mapping);
        return static_cast<volatile LONG*>(view);
    }();
    return counter;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TickHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (message->message == WM_TIMER) {
            if (volatile LONG* counter = Counter())
                InterlockedIncrement(counter);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
