#include "ui/web_page.h"

#include "framework/unique_handle.h"
#include "ui/browser_command.h"

#include <windows.h>

#include <string_view>

namespace {

constexpr char kCommandKey[] = "htmlfile\\shell\\open\\command";
constexpr DWORD kBufferSize = 256;

} // namespace

void OpenWebPage(std::string address) {
    HKEY classesRoot = nullptr;
    if (::RegOpenKeyA(HKEY_CLASSES_ROOT, nullptr, &classesRoot) != ERROR_SUCCESS)
        return;
    const rillo::UniqueRegKey rootOwner(classesRoot);

    // Reading is all we do; asking for more fails for ordinary users.
    HKEY commandKey = nullptr;
    if (::RegOpenKeyExA(classesRoot, kCommandKey, 0, KEY_READ, &commandKey) != ERROR_SUCCESS)
        return;
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
        return;
    // Only text is a command line; the bytes of a number or a blob are not.
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return;

    const auto command = rillo::BuildBrowserCommand(
        std::string_view(reinterpret_cast<const char*>(data), dataLength), address);
    if (!command)
        return;
    ::WinExec(command->c_str(), SW_SHOW);
}
