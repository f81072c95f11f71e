#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring TestDirectory() {
    wchar_t path[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring dir(path);
    return dir.substr(0, dir.rfind(L'\\') + 1);
}

// Runs framework_app.exe with the given arguments; its exit code, or -1000 if it did
// not end within 20 seconds.
long RunApp(const std::wstring& args) {
    const std::wstring exe = TestDirectory() + L"framework_app.exe";
    std::wstring commandLine = L"\"" + exe + L"\" " + args;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!::CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                          nullptr, &si, &pi))
        return -2000;
    long code = -1000;
    if (::WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0) {
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

} // namespace

TEST(FrameworkApp, EntryPointRunsInitInstanceAndTheLoop) {
    EXPECT_EQ(RunApp(L"false"), 0);    // FALSE: no loop, exit code 0
    EXPECT_EQ(RunApp(L"quit7"), 7);    // the loop returns the WM_QUIT code
    EXPECT_EQ(RunApp(L"close"), 0);    // main window destroyed: pointer cleared, quit 0
    EXPECT_EQ(RunApp(L"nowindow"), 0); // TRUE without a main window does not hang
    EXPECT_EQ(RunApp(L"dialog"), 0);   // modal main dialog: pointer cleared, no WM_QUIT left
    EXPECT_EQ(RunApp(L"args \"two words\" x\\\"y"), 0);
}

TEST(FrameworkApp, ProfileReadCreatesTheSectionKey) {
    const wchar_t* const kCompany = L"Software\\Rillo Profile Test Inc.";
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kCompany);
    CWinApp app(L"profapp");
    // No registry key yet: the default, and nothing is created.
    EXPECT_EQ(app.GetProfileInt(L"Config", L"Speed", 1), 1u);
    app.SetRegistryKey(L"Rillo Profile Test Inc.");
    EXPECT_STREQ(app.m_pszRegistryKey, L"Rillo Profile Test Inc.");

    EXPECT_EQ(app.GetProfileInt(L"Config", L"Speed", 1), 1u);
    HKEY key = nullptr;
    ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER,
                              L"Software\\Rillo Profile Test Inc.\\profapp\\Config", 0, KEY_READ,
                              &key),
              ERROR_SUCCESS);
    ::RegCloseKey(key);

    rillo::UniqueRegKey section = app.GetSectionKey(L"Config");
    ASSERT_TRUE(section);
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
