// Where the settings file lives. The Windows folder is where it always was, but a
// standard user cannot write there, so each user may also have a file of their own,
// and saves that UAC virtualization once redirected may still be waiting in the
// VirtualStore.
#pragma once

#include <string>
#include <vector>

namespace rillo {

struct SettingsPaths {
    std::wstring perUser;      // <roaming app data>\Rillo\rillolst.txt
    std::wstring virtualStore; // <local app data>\VirtualStore\<Windows folder>\rillolst.txt
    std::wstring windows;      // <Windows folder>\rillolst.txt
};

// The three places from the folders Windows reports. A folder that could not be found
// is passed empty and leaves its place empty; so does a Windows folder that is not on a
// drive letter, which UAC never virtualizes.
SettingsPaths MakeSettingsPaths(const std::wstring& windowsDir, const std::wstring& roamingAppData,
                                const std::wstring& localAppData, const std::wstring& fileName);

// The files to read, best first: the first one that can be read holds the settings.
std::vector<std::wstring> SettingsLoadOrder(const SettingsPaths& paths);

// The files Save tries, in order, until one is written. The Windows folder's file comes
// first only while no file that is read before it exists: a save there would otherwise
// be hidden behind that file at the next start. The per-user file is the fallback for
// when the Windows folder cannot be written.
std::vector<std::wstring> SettingsSaveOrder(const SettingsPaths& paths, bool perUserExists,
                                            bool virtualStoreExists);

} // namespace rillo
