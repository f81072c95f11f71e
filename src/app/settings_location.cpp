#include "app/settings_location.h"

namespace rillo {

namespace {

std::wstring WithoutTrailingSlashes(std::wstring dir) {
    while (!dir.empty() && (dir.back() == L'\\' || dir.back() == L'/'))
        dir.pop_back();
    return dir;
}

bool IsDriveLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

} // namespace

SettingsPaths MakeSettingsPaths(const std::wstring& windowsDir, const std::wstring& roamingAppData,
                                const std::wstring& localAppData, const std::wstring& fileName) {
    SettingsPaths paths;
    const std::wstring windows = WithoutTrailingSlashes(windowsDir);
    const std::wstring roaming = WithoutTrailingSlashes(roamingAppData);
    const std::wstring local = WithoutTrailingSlashes(localAppData);
    // An empty folder would turn these into paths relative to the current directory.
    if (!windows.empty())
        paths.windows = windows + L"\\" + fileName;
    if (!roaming.empty())
        paths.perUser = roaming + L"\\Rillo\\" + fileName;
    // Virtualization mirrors "C:\dir" as "VirtualStore\dir", dropping the drive.
    if (!local.empty() && windows.size() > 3 && IsDriveLetter(windows[0]) && windows[1] == L':' &&
        windows[2] == L'\\')
        paths.virtualStore = local + L"\\VirtualStore" + windows.substr(2) + L"\\" + fileName;
    return paths;
}

std::vector<std::wstring> SettingsLoadOrder(const SettingsPaths& paths) {
    std::vector<std::wstring> order;
    for (const std::wstring* path : {&paths.perUser, &paths.virtualStore, &paths.windows}) {
        if (!path->empty())
            order.push_back(*path);
    }
    return order;
}

std::wstring ReadFirstPresent(const SettingsPaths& paths,
                              const std::function<SettingsRead(const std::wstring&)>& read) {
    for (const std::wstring& path : SettingsLoadOrder(paths)) {
        switch (read(path)) {
        case SettingsRead::kRead:
            return path;
        case SettingsRead::kUnreadable:
            return {};
        case SettingsRead::kMissing:
            break;
        }
    }
    return {};
}

std::vector<std::wstring> SettingsSaveOrder(const SettingsPaths& paths, bool perUserExists,
                                            bool virtualStoreExists) {
    std::vector<std::wstring> order;
    const bool hidden = (perUserExists || virtualStoreExists) && !paths.perUser.empty();
    if (!paths.windows.empty() && !hidden)
        order.push_back(paths.windows);
    if (!paths.perUser.empty())
        order.push_back(paths.perUser);
    return order;
}

} // namespace rillo
