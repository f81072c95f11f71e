// The application object's constructor and the program's entry point, kept in one
// object file: a program with an application object references the constructor and
// so links this file, and with it WinMain.
#include "framework/win_app.h"

namespace rillo::detail {
extern CWinApp* g_app;
} // namespace rillo::detail

CWinApp::CWinApp() noexcept {
    rillo::detail::g_app = this;
}

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    // The wide command line: paths with any user name survive.
    return WinAppMain(::GetCommandLineW());
}
