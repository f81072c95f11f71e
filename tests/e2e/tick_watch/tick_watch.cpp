// Watches a running rillo.scr's ticks from outside; a hook DLL found beside this
// program counts them inside the saver's thread. Each command prints what it saw.
//
//   tick_watch watch CLASS SECONDS MS [TICKS]
//                                    count the ticks of the window of that class (a hook
//                                    DLL beside this program counts its WM_TIMER messages)
//                                    for SECONDS, or until TICKS ticks have passed, and
//                                    print a sample every MS milliseconds:
//                                    "sample MS TICKS GDI GUIGDI USER PRIVATEKB HANDLES"
//                                    GDI is counted in the process's GDI handle table,
//                                    GUIGDI is what GetGuiResources says
//   tick_watch drive CLASS SECONDS MS TICKS
//                                    as watch, and meanwhile tick the window as fast as
//                                    it takes ticks: post it WM_TIMER whenever fewer than
//                                    a few are waiting in its queue, until TICKS ticks
//                                    have passed. Its own 60 ms timer ticks on as well.
//   tick_watch listen CLASS SECONDS MSG[,MSG...]
//                                    print "listening" once hooked into the window's
//                                    thread, then wait until each MSG (a number; one
//                                    listed n times, n times) has reached the window, and the
//                                    window has taken two ticks since the last of them (so whatever
//                                    it did about them is done) and still exists: exit 0. Exit 1
//                                    when the time runs out or the window's process ends first.
#include "tick_block.h"

#include <windows.h>

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <string>
#include <vector>

namespace {

// The saver's window of this class once it is there; null, and the failure said,
// when none has come within 20 s.
HWND WaitWindow(const wchar_t* cls) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND hwnd = FindWindowW(cls, nullptr))
            return hwnd;
        if (GetTickCount() - start >= 20000) {
            std::printf("FAIL: no window of class %ls\n", cls);
            return nullptr;
        }
        Sleep(50);
    }
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

// The timer id of the ticks this program posts; the window ticks whatever the id.
constexpr UINT_PTR kPostedTimerId = 0x7269;
// Posted ticks that may wait in the saver's queue at once: enough that it never
// waits for this program, whose waits last a timer period of Wine (up to 10 ms), and few
// enough that input behind them is not held up for long.
constexpr LONG kTicksInFlight = 16;

// The hook DLL beside this program, set on the saver's thread, and the block it shares.
struct SaverHook {
    HANDLE mapping = nullptr;
    tickwatch::Block* block = nullptr;
    HMODULE module = nullptr;
    HHOOK hook = nullptr;

    SaverHook() = default;
    SaverHook(const SaverHook&) = delete;
    SaverHook& operator=(const SaverHook&) = delete;
    ~SaverHook() {
        if (hook)
            UnhookWindowsHookEx(hook);
        if (block)
            UnmapViewOfFile(block);
        if (mapping)
            CloseHandle(mapping);
    }

    // The messages to note are in the block before the hook can run.
    void Set(DWORD thread, const std::vector<UINT>& wanted) {
        mapping = CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                     sizeof(tickwatch::Block), tickwatch::kBlockName);
        block = mapping ? static_cast<tickwatch::Block*>(MapViewOfFile(mapping, FILE_MAP_WRITE, 0,
                                                                       0, sizeof(tickwatch::Block)))
                        : nullptr;
        if (!block)
            return;
        for (size_t i = 0; i < sizeof(block->wanted) / sizeof(UINT); ++i)
            block->wanted[i] = i < wanted.size() ? wanted[i] : 0;
        wchar_t path[MAX_PATH];
        const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring dll(path, n < MAX_PATH ? n : 0);
        dll = dll.substr(0, dll.find_last_of(L'\\') + 1) + L"tick_hook.dll";
        module = LoadLibraryW(dll.c_str());
        FARPROC entry = module ? GetProcAddress(module, "TickHook") : nullptr;
        if (module && !entry) // a 32-bit build decorates the stdcall name
            entry = GetProcAddress(module, "TickHook@12");
        auto* proc = reinterpret_cast<HOOKPROC>(reinterpret_cast<void*>(entry));
        hook = proc ? SetWindowsHookExW(WH_GETMESSAGE, proc, module, thread) : nullptr;
    }
};

int Watch(const wchar_t* cls, int seconds, int interval, long enough, bool drive) {
    HWND hwnd = WaitWindow(cls);
    if (!hwnd)
        return 1;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process =
        OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ | SYNCHRONIZE, FALSE, pid);
    if (!process) {
        std::printf("FAIL: cannot open process %lu\n", pid);
        return 1;
    }

    SaverHook hooked;
    hooked.Set(thread, {});
    volatile LONG* ticks = hooked.block ? &hooked.block->ticks : nullptr;
    const bool hook = hooked.hook != nullptr;
    std::printf("pid %lu, tick hook %s\n", pid, hook ? "set" : "missing");
    std::fflush(stdout);
    if (drive && !hook) {
        // Without the count, this program cannot tell when the saver has taken a tick.
        std::printf("FAIL: cannot drive ticks without the hook\n");
        CloseHandle(process);
        return 1;
    }

    const DWORD start = GetTickCount();
    const LONG first = ticks ? *ticks : 0;
    LONG posted = 0;
    bool ended = false;
    // Waits until the next sample is due: either idly, or posting ticks as the saver
    // takes them. True when the saver's process ended meanwhile.
    auto until = [&](DWORD due) {
        for (;;) {
            const auto left = LONG(due - GetTickCount());
            if (left <= 0)
                return false;
            if (drive && *ticks - first < enough && posted - (*ticks - first) < kTicksInFlight) {
                if (PostMessageW(hwnd, WM_TIMER, kPostedTimerId, 0))
                    ++posted;
                continue;
            }
            if (WaitForSingleObject(process, drive ? 1 : DWORD(left)) == WAIT_OBJECT_0)
                return true;
        }
    };
    for (DWORD due = start;;) {
        PROCESS_MEMORY_COUNTERS_EX memory{};
        memory.cb = sizeof memory;
        GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory),
                             sizeof memory);
        DWORD handles = 0;
        GetProcessHandleCount(process, &handles);
        std::printf("sample %lu %ld %ld %lu %lu %lu %lu\n", GetTickCount() - start,
                    ticks ? long(*ticks - first) : -1L, CountGdiHandles(process),
                    GetGuiResources(process, GR_GDIOBJECTS),
                    GetGuiResources(process, GR_USEROBJECTS), DWORD(memory.PrivateUsage / 1024),
                    handles);
        std::fflush(stdout);
        if (GetTickCount() - start >= DWORD(seconds) * 1000 ||
            (ticks && enough > 0 && *ticks - first >= enough))
            break;
        due += DWORD(interval);
        if (until(due)) {
            ended = true;
            break;
        }
    }
    if (drive)
        std::printf("posted %ld ticks\n", long(posted));
    std::printf(ended ? "ended\n" : "running\n");
    CloseHandle(process);
    return ended ? 1 : 0;
}

int Listen(const wchar_t* cls, int seconds, const std::wstring& list) {
    std::vector<UINT> wanted;
    for (size_t start = 0; start <= list.size();) {
        const size_t comma = std::min(list.find(L',', start), list.size());
        wanted.push_back(UINT(std::wcstoul(list.substr(start, comma - start).c_str(), nullptr, 0)));
        start = comma + 1;
    }
    if (wanted.empty() || wanted.size() > sizeof(tickwatch::Block::wanted) / sizeof(UINT) ||
        std::count(wanted.begin(), wanted.end(), 0u)) {
        std::printf("FAIL: bad message list %ls\n", list.c_str());
        return 2;
    }
    HWND hwnd = WaitWindow(cls);
    if (!hwnd)
        return 1;
    DWORD pid = 0;
    const DWORD thread = GetWindowThreadProcessId(hwnd, &pid);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, pid);
    SaverHook hooked;
    hooked.Set(thread, wanted);
    if (!process || !hooked.hook) {
        std::printf("FAIL: cannot hook the window's thread\n");
        if (process)
            CloseHandle(process);
        return 1;
    }
    tickwatch::Block& block = *hooked.block;
    LONG next = block.noted;
    std::printf("listening\n");
    std::fflush(stdout);

    std::vector<bool> seen(wanted.size(), false);
    LONG lastTicks = 0;
    int result = 1;
    const DWORD start = GetTickCount();
    for (;;) {
        for (; next < block.noted; ++next) {
            const tickwatch::Block::Note note = block.notes[next % tickwatch::Block::kNotes];
            // A message listed n times is waited for n times.
            for (size_t i = 0; i < wanted.size(); ++i)
                if (note.message == wanted[i] && !seen[i]) {
                    std::printf("seen 0x%04x at tick %ld\n", note.message, long(note.ticks));
                    seen[i] = true;
                    break;
                }
            lastTicks = note.ticks;
        }
        const bool all = std::find(seen.begin(), seen.end(), false) == seen.end();
        if (all && block.ticks - lastTicks >= 2) {
            const bool there = IsWindow(hwnd) != FALSE;
            std::printf("%ld ticks later the window %s\n", long(block.ticks - lastTicks),
                        there ? "is still there" : "is gone");
            result = there ? 0 : 1;
            break;
        }
        if (WaitForSingleObject(process, 5) == WAIT_OBJECT_0) {
            std::printf("ended\n");
            break;
        }
        if (GetTickCount() - start >= DWORD(seconds) * 1000) {
            for (size_t i = 0; i < wanted.size(); ++i)
                if (!seen[i])
                    std::printf("never seen 0x%04x\n", wanted[i]);
            if (all)
                std::printf("no two ticks after them\n");
            break;
        }
    }
    CloseHandle(process);
    return result;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring cmd = argc > 1 ? argv[1] : L"";
    if (cmd == L"watch" && (argc == 5 || argc == 6))
        return Watch(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), argc == 6 ? _wtol(argv[5]) : 0,
                     false);
    if (cmd == L"drive" && argc == 6)
        return Watch(argv[2], _wtoi(argv[3]), _wtoi(argv[4]), _wtol(argv[5]), true);
    if (cmd == L"listen" && argc == 5)
        return Listen(argv[2], _wtoi(argv[3]), argv[4]);
    std::fprintf(stderr, "usage: tick_watch watch|drive|listen ...\n");
    return 2;
}
