// Works on a running rillo.scr from outside, for the fault tests. Each command
// prints what it saw.
//
//   probe hold FILE SECONDS MARKER   open FILE with no sharing, create MARKER, keep the
//                                    file open for SECONDS, close it
//   probe burst CLASS N              post N input messages to the window of that class
//                                    while its thread is suspended: mouse moves to ever
//                                    new places and key presses, alternately
//   probe watch CLASS SECONDS MS [TICKS]
//                                    count the ticks of the window of that class (a hook
//                                    DLL beside the probe counts its WM_TIMER messages)
//                                    for SECONDS, or until TICKS ticks have passed, and
//                                    print a sample every MS milliseconds:
//                                    "sample MS TICKS GDI GUIGDI USER PRIVATEKB HANDLES"
//                                    GDI is counted in the process's GDI handle table,
//                                    GUIGDI is what GetGuiResources says
#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HWND WaitWindow(const wchar_t* cls, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND hwnd = FindWindowW(cls, nullptr))
            return hwnd;
        if (GetTickCount() - start >= milliseconds)
            return nullptr;
        Sleep(50);
    }
}

int Hold(const wchar_t* path, int seconds, const wchar_t* marker) {
    HANDLE file =
        CreateFileW(path, GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("FAIL: cannot open %ls (%lu)\n", path, GetLastError());
        return 1;
    }
    HANDLE mark = CreateFileW(marker, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (mark != INVALID_HANDLE_VALUE)
        CloseHandle(mark);
    std::printf("held\n");
    std::fflush(stdout);
    Sleep(DWORD(seconds) * 1000);
    CloseHandle(file);
    std::printf("released\n");
    return 0;
}

int Burst(const wchar_t* cls, int count) {
    HWND hwnd = WaitWindow(cls, 20000);
    if (!hwnd) {
        std::printf("FAIL: no window of class %ls\n", cls);
        return 1;
    }
    // The saver's thread stands still while the burst is queued, so that it meets all
    // of it at once instead of closing after the first few.
    HANDLE thread =
        OpenThread(THREAD_SUSPEND_RESUME, FALSE, GetWindowThreadProcessId(hwnd, nullptr));
    const bool suspended = thread && SuspendThread(thread) != DWORD(-1);
    int posted = 0;
    const DWORD start = GetTickCount();
    for (int i = 0; i < count; ++i) {
        const BOOL ok = (i % 2 == 0) ? PostMessageW(hwnd, WM_MOUSEMOVE, 0,
                                                    MAKELPARAM(10 + i % 900, 10 + i % 700))
                                     : PostMessageW(hwnd, WM_KEYDOWN, 'A', 0x001E0001);
        posted += ok ? 1 : 0;
    }
    if (suspended)
        ResumeThread(thread);
    if (thread)
        CloseHandle(thread);
    std::printf("posted %d of %d in %lu ms%s\n", posted, count, GetTickCount() - start,
                suspended ? " while the window's thread stood still" : "");
    return 0;
}

// Live entries of the process's GDI handle table, read from the table that its PEB
// points to. Returns -1 when the table cannot be read.
long CountGdiHandles(HANDLE process) {
    using QueryProc = NTSTATUS(NTAPI*)(HANDLE, PROCESSINFOCLASS, PVOID, ULONG, PULONG);
    static const auto query = reinterpret_cast<QueryProc>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQueryInformationProcess")));
    PROCESS_BASIC_INFORMATION info{};
    if (!query || query(process, ProcessBasicInformation, &info, sizeof info, nullptr) != 0)
        return -1;
    // Where the PEB keeps the table's address.
    const size_t offset = sizeof(void*) == 8 ? 0xF8 : 0x94;
    UINT_PTR table = 0;
    SIZE_T got = 0;
    if (!ReadProcessMemory(process, reinterpret_cast<const BYTE*>(info.PebBaseAddress) + offset,
                           &table, sizeof table, &got) ||
        !table)
        return -1;
    // 65536 entries of 24 bytes: object, owner, unique, type, flags, user pointer. A
    // free entry has type 0.
    constexpr size_t kEntries = 0x10000, kEntrySize = 24, kTypeOffset = 14;
    constexpr size_t kChunk = 4096;
    std::vector<BYTE> buffer(kChunk * kEntrySize);
    long live = 0;
    for (size_t first = 0; first < kEntries; first += kChunk) {
        if (!ReadProcessMemory(process, reinterpret_cast<const void*>(table + first * kEntrySize),
                               buffer.data(), buffer.size(), &got) ||
            got != buffer.size())
            return first == 0 ? -1 : live;
        for (size_t i = 0; i < kChunk; ++i)
            live += buffer[i * kEntrySize + kTypeOffset] != 0 ? 1 : 0;
    }
    return live;
}

int Watch(const wchar_t* cls, int seconds, int interval, long enough) {
    HWND hwnd = WaitWindow(cls, 20000);
    if (!hwnd) {
        std::printf("FAIL: no window of class %ls\n", cls);
        return 1;
    }
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        std::printf("FAIL: cannot open process %lu\n", pid);
        return 1;
    }

    HANDLE mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, 4096,
                                        L"RilloProbeTicks");
    auto* ticks = mapping
                      ? static_cast<volatile LONG*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, 0))
                      : nullptr;
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dll(path, n < MAX_PATH ? n : 0);
    dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"tick_hook.dll";
    HMODULE module = LoadLibraryW(dll.c_str());
    FARPROC entry = module ? GetProcAddress(module, "TickHook") : nullptr;
    if (module && !entry) // a 32-bit build decorates the stdcall name
        entry = GetProcAddress(module, "TickHook@12");
    auto* proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(entry));
    HHOOK hook = proc && ticks ? SetWindowsHookExW(WH_GETMESSAGE, proc, module, thread) : nullptr;
    std::printf("pid %lu, tick hook %s\n", pid, hook ? "set" : "missing");
    std::fflush(stdout);

    const DWORD start = GetTickCount();
    bool ended = false;
    for (;;) {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory);
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        std::printf("sample %lu %ld %ld %lu %lu %lu %lu\n", GetTickCount() - start,
                    ticks ? long(*ticks) : -1L, CountGdiHandles(process),
                    GetGuiResources(process, GR_GDIOBJECTS),
                    GetGuiResources(process, GR_USEROBJECTS), DWORD(memory.PrivateUsage / 1024),
                    handles);
        std::fflush(stdout);
        if (GetTickCount() - start >= DWORD(seconds) * 1000 ||
            (ticks && enough > 0 && *ticks >= enough))
            break;
        if (WaitForSingleObject(process, DWORD(interval)) == WAIT_OBJECT_0) {
            ended = true;
            break;
        }
    }
    if (hook)
        UnhookWindowsHookEx(hook);
    std::printf(ended ? "ended\n" : "running\n");
    CloseHandle(process);
    return ended ? 1 : 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (cmd == L"hold" && argc == 5)
        return Hold(argv[2], _wtoi(argv[3]), argv[4]);
    if (cmd == L"burst" && argc == 4)
        return Burst(argv[2], _wtoi(argv[3]));
    if (cmd == L"watch" && (argc == 5 || argc == 6))
        return Watch(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argc == 6 ? _wtol(argv[5]) : 0);
    std::fprintf(stderr, "usage: probe hold|burst|watch ...\n");
    return 2;
}
