// The application object and the framework's entry point.
//
// The program defines exactly one static object of a class derived from CWinApp.
// The framework's WinMain (in win_app.cpp, linked in because the object's constructor
// is defined there) splits the command line, calls InitInstance and, when that returns
// TRUE and a main window exists, runs the message loop until WM_QUIT, whose code is
// the process exit code. FALSE ends the process with code 0.
#pragma once

#include "framework/object.h"
#include "framework/unique_handle.h"

#include <windows.h>

#include <string>
#include <vector>

class CWnd;

class CWinApp : public CObject {
  public:
    // appName null: the program file's name, without directory and extension.
    explicit CWinApp(LPCWSTR appName = nullptr) noexcept;
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }
    // The message loop; returns ExitInstance().
    virtual int Run();
    // Returns the process exit code: the WM_QUIT code of the loop (0 without a loop).
    virtual int ExitInstance() { return m_nExitCode; }

    // Uses the profile under HKEY_CURRENT_USER\Software\<key>\<application name>.
    void SetRegistryKey(LPCWSTR key);
    // Reads a REG_DWORD of the profile section; default when there is no registry key,
    // no such value or a value of another type. Creates the keys down to the section.
    UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue);
    // HKCU\Software\<key>\<app name>\<section>, created when missing; empty on failure
    // or when no registry key was set.
    rillo::UniqueRegKey GetSectionKey(LPCWSTR section);

    // Fills the members from the module and command line (WinMain does this; tests may
    // too).
    void InitApplication(HINSTANCE instance, const std::wstring& commandLine);

    CWnd* m_pMainWnd = nullptr; // cleared by the framework when its window is destroyed
    HINSTANCE m_hInstance = nullptr;
    LPCWSTR m_pszAppName = L"";         // points into m_strAppName
    LPCWSTR m_pszRegistryKey = nullptr; // points into m_strRegistryKey, null until set
    int m_argc = 0;
    wchar_t** m_argv = nullptr; // m_argc elements, then a null; element 0 the program

  protected:
    int m_nExitCode = 0;

  private:
    std::wstring m_strAppName;
    std::wstring m_strRegistryKey;
    std::vector<std::wstring> m_args;
    std::vector<wchar_t*> m_argvStorage;
};

// The application object, or null in a program without one.
CWinApp* GetCurrentApp() noexcept;
// The program's module handle.
HINSTANCE GetAppInstance() noexcept;
// The framework's start-up: InitApplication, InitInstance, Run. Returns the exit code.
int WinAppMain(HINSTANCE instance, const std::wstring& commandLine);
