#include "framework/unique_handle.h"
#include "framework/win_app.h"
#include "win_test_util.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TestDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.rfind(L'\\') + 1);
}

PROCESS_INFORMATION StartApp(const std::wstring& args) {
    const std::wstring exe = TestDirectory() + L"framework_app.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &si, &pi))
        return PROCESS_INFORMATION{};
    return pi;
}

// Waits for a process started by StartApp: its exit code, or -1000 if it did not end
// within the time given (it is then ended).
long Finish(PROCESS_INFORMATION pi, DWORD milliseconds = 20000) {
    if (!pi.hProcess)
        return -2000;
    long code = -1000;
    if (::WaitForSingleObject(pi.hProcess, milliseconds) == WAIT_OBJECT_0) {
        DWORD exitCode = 0;
        ::GetExitCodeProcess(pi.hProcess, &exitCode);
        code = long(exitCode);
    } else {
        ::TerminateProcess(pi.hProcess, 1);
    }
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

long RunApp(const std::wstring& args) {
    return Finish(StartApp(args));
}

} // namespace

TEST(FrameworkApp, EntryPointRunsInitInstanceAndTheLoop) {
    EXPECT_EQ(RunApp(L"false"), 0);    // FALSE: no loop, exit code 0
    EXPECT_EQ(RunApp(L"quit7"), 7);    // the loop returns the WM_QUIT code
    EXPECT_EQ(RunApp(L"close"), 0);    // main window destroyed: the loop ends with quit 0
    EXPECT_EQ(RunApp(L"nowindow"), 0); // TRUE without a main window does not hang
    EXPECT_EQ(RunApp(L"dialog"), 0);   // modal main dialog: pointer cleared, no WM_QUIT left
    EXPECT_EQ(RunApp(L"args \"two words\" x\\\"y"), 0);
}

TEST(FrameworkApp, ProfileReadCreatesTheSectionKey) {
    const wchar_t* const kCompany = L"Software\\Rillo Profile Test Inc.";
    const wchar_t* const kSection = L"Software\\Rillo Profile Test Inc.\\profapp\\Config";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kCompany);
    CWinApp app;
    app.m_strAppName = L"profapp";
    // No registry key yet: the default, and nothing is created.
    EXPECT_EQ(app.GetProfileInt(L"Config", L"Speed", 1), 1u);
    HKEY key = nullptr;
    EXPECT_NE(::RegOpenKeyExW(HKEY_CURRENT_USER, kCompany, 0, KEY_READ, &key), ERROR_SUCCESS);

    app.SetRegistryKey(L"Rillo Profile Test Inc.");
    EXPECT_EQ(app.GetProfileInt(L"Config", L"Speed", 1), 1u);
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kSection, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
    rillo::UniqueRegKey section(key);
    const DWORD speed = 9;
    ::RegSetValueExW(section.get(), L"Speed", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&speed),
                     sizeof(speed));
    EXPECT_EQ(app.GetProfileInt(L"Config", L"Speed", 1), 9u);
    // A value of another type reads as the default.
    ::RegSetValueExW(section.get(), L"Text", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"5"), 4);
    EXPECT_EQ(app.GetProfileInt(L"Config", L"Text", -3), UINT(-3));
    section.reset();
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kCompany);
}

// A preview's situation: the main window is a child of another process's window. It
// is painted, and destroying the parent ends the program with code 0. (Wine does not
// show another process's child pixels to this process, so they are not compared.)
TEST(FrameworkApp, ChildOfAnotherProcessPaintsAndEndsWithItsParent) {
    HWND host = ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP | WS_VISIBLE, 100, 100, 120, 80,
                                  nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(host, nullptr);
    rillo::test::PumpMessages(200);
    PROCESS_INFORMATION pi = StartApp(L"child " + std::to_wstring(reinterpret_cast<INT_PTR>(host)));
    HWND child = nullptr;
    for (int i = 0; i < 200 && !child; ++i) {
        rillo::test::PumpMessages(50);
        child = ::GetWindow(host, GW_CHILD);
    }
    EXPECT_NE(child, nullptr);
    RECT rc{};
    ::GetClientRect(child, &rc);
    EXPECT_EQ(rc.right, 120);
    EXPECT_EQ(rc.bottom, 80);
    rillo::test::PumpMessages(500);
    ::DestroyWindow(host);
    EXPECT_EQ(Finish(pi, 5000), 0); // 51 would mean it never painted
}
