// The application object and the framework's entry point.
//
// The program defines exactly one static object of a class derived from CWinApp.
// The framework's WinMain (in app_entry.cpp, linked in because the object's
// constructor is defined there) splits the command line, calls InitInstance and, when
// that returns TRUE and a main window exists, runs the message loop until WM_QUIT,
// whose code is the process exit code. FALSE ends the process with code 0.
#pragma once

#include "framework/object.h"

#include <windows.h>

#include <string>
#include <vector>

class CWnd;

class CWinApp : public CObject {
  public:
    CWinApp() noexcept;
    ~CWinApp() override;

    virtual BOOL InitInstance() { return TRUE; }

    // Uses the profile under HKEY_CURRENT_USER\Software\<key>\<application name>.
    void SetRegistryKey(LPCWSTR key);
    // Reads a REG_DWORD of the profile section; default when there is no registry key,
    // no such value or a value of another type. Creates the keys down to the section.
    UINT GetProfileInt(LPCWSTR section, LPCWSTR entry, int defaultValue);
    // Reads a REG_SZ of the profile section, without its terminating nulls; default
    // when there is no such key or value, or a value of another type. Creates nothing.
    std::wstring GetProfileString(LPCWSTR section, LPCWSTR entry, LPCWSTR defaultValue);

    CWnd* m_pMainWnd = nullptr; // cleared by the framework when its window is destroyed
    std::wstring m_strAppName;  // the program file's name, without directory and extension
    int m_argc = 0;
    wchar_t** m_argv = nullptr; // m_argc elements, then a null; element 0 the program

  private:
    friend int WinAppMain(const std::wstring& commandLine);
    void InitApplication(const std::wstring& commandLine);

    std::wstring m_strRegistryKey;
    std::vector<std::wstring> m_args;
    std::vector<wchar_t*> m_argvStorage;
};

// The application object, or null in a program without one.
CWinApp* GetCurrentApp() noexcept;
// The program's module handle.
HINSTANCE GetAppInstance() noexcept;
// The framework's start-up: InitApplication, InitInstance, the message loop. Returns
// the exit code.
int WinAppMain(const std::wstring& commandLine);
