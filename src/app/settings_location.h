// Where the settings file lives. Its place is the Windows folder, but a standard
// user cannot write there, so each user may also have a file of their own,
// and saves that UAC virtualization once redirected may still be waiting in the
// VirtualStore.
#pragma once

#include <functional>
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

// The files to read, best first: the first one that is there holds the settings.
std::vector<std::wstring> SettingsLoadOrder(const SettingsPaths& paths);

// What became of one attempt to read a settings file.
enum class SettingsRead {
    kRead,
    kMissing,    // nothing there: the next file down may hold the settings
    kUnreadable, // there, but held by another program, denied, or failing to read
};

// Reads the files of SettingsLoadOrder with `read`, best first, until one is there.
// A file that is there but cannot be read ends the search: an older file below it
// would otherwise supply stale values, which the next Save writes back beside the one
// the user changed. Returns the path that was read; empty when none was, and the
// defaults apply.
std::wstring ReadFirstPresent(const SettingsPaths& paths,
                              const std::function<SettingsRead(const std::wstring&)>& read);

// The files Save tries, in order, until one is written. The Windows folder's file comes
// first only while no file that is read before it exists: a save there would otherwise
// be hidden behind that file at the next start. The per-user file is the fallback for
// when the Windows folder cannot be written.
std::vector<std::wstring> SettingsSaveOrder(const SettingsPaths& paths, bool perUserExists,
                                            bool virtualStoreExists);

} // namespace rillo
