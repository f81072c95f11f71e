#include "ui/web_page.h"

#include "framework/unique_handle.h"
#include "ui/browser_command.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <string_view>

namespace {

constexpr char kCommandKey[] = "htmlfile\\shell\\open\\command";
constexpr DWORD kBufferSize = 256;

// The browser registered for HTML files, started with the address; whether it started.
bool RunHtmlFileCommand(const std::string& address) {
    HKEY classesRoot = nullptr;
    if (::RegOpenKeyA(HKEY_CLASSES_ROOT, nullptr, &classesRoot) != ERROR_SUCCESS)
        return false;
    const rillo::UniqueRegKey rootOwner(classesRoot);

    // Reading is all we do; asking for more fails for ordinary users.
    HKEY commandKey = nullptr;
    if (::RegOpenKeyExA(classesRoot, kCommandKey, 0, KEY_READ, &commandKey) != ERROR_SUCCESS)
        return false;
    const rillo::UniqueRegKey commandOwner(commandKey);

    // The first value the key enumerates, whatever its name. A value too long for the
    // buffers fails here (ERROR_MORE_DATA) rather than being cut short.
    char name[kBufferSize];
    DWORD nameLength = kBufferSize;
    DWORD type = REG_NONE;
    BYTE data[kBufferSize];
    DWORD dataLength = kBufferSize;
    if (::RegEnumValueA(commandKey, 0, name, &nameLength, nullptr, &type, data, &dataLength) !=
        ERROR_SUCCESS)
        return false;
    // Only text is a command line; the bytes of a number or a blob are not.
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return false;

    const auto command = rillo::BuildBrowserCommand(
        std::string_view(reinterpret_cast<const char*>(data), dataLength), address);
    if (!command)
        return false;
    // WinExec's results up to 31 are errors.
    return ::WinExec(command->c_str(), SW_SHOW) > 31;
}

} // namespace

void OpenWebPage(std::string address) {
    if (RunHtmlFileCommand(address))
        return;
    // The system's handler for the address's scheme. The address is read in the ANSI
    // code page, as WinExec would have read it.
    const int length = ::MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, nullptr, 0);
    if (length <= 1)
        return;
    std::wstring wide(std::size_t(length), L'\0');
    if (::MultiByteToWideChar(CP_ACP, 0, address.c_str(), -1, wide.data(), length) != length)
        return;
    ::ShellExecuteW(nullptr, L"open", wide.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}
