#include "app/settings_location.h"

#include <gtest/gtest.h>

#include <map>

using rillo::MakeSettingsPaths;
using rillo::ReadFirstPresent;
using rillo::SettingsLoadOrder;
using rillo::SettingsPaths;
using rillo::SettingsRead;
using rillo::SettingsSaveOrder;
using Paths = std::vector<std::wstring>;

namespace {

const std::wstring kRoaming = L"C:\\Users\\Zo\u00eb\\AppData\\Roaming";
const std::wstring kLocal = L"C:\\Users\\Zo\u00eb\\AppData\\Local";

SettingsPaths Typical() {
    return MakeSettingsPaths(L"C:\\WINDOWS", kRoaming, kLocal, L"rillolst.txt");
}

} // namespace

TEST(SettingsLocation, PlacesOnATypicalSystem) {
    const SettingsPaths p = Typical();
    EXPECT_EQ(p.windows, L"C:\\WINDOWS\\rillolst.txt");
    EXPECT_EQ(p.perUser, kRoaming + L"\\Rillo\\rillolst.txt");
    EXPECT_EQ(p.virtualStore, kLocal + L"\\VirtualStore\\WINDOWS\\rillolst.txt");
}

TEST(SettingsLocation, VirtualStoreMirrorsTheWindowsFolderWithoutItsDrive) {
    EXPECT_EQ(MakeSettingsPaths(L"D:\\Win\\Sys", L"R", L"L", L"f").virtualStore,
              L"L\\VirtualStore\\Win\\Sys\\f");
    // Trailing separators on any folder add no empty path component.
    const SettingsPaths p = MakeSettingsPaths(L"c:\\windows\\", L"R\\", L"L\\\\", L"f");
    EXPECT_EQ(p.virtualStore, L"L\\VirtualStore\\windows\\f");
    EXPECT_EQ(p.windows, L"c:\\windows\\f");
    EXPECT_EQ(p.perUser, L"R\\Rillo\\f");
    // Network paths and bare drive roots are never virtualized.
    for (const wchar_t* dir : {L"\\\\server\\share\\windows", L"C:\\", L"C:", L"1:\\windows"})
        EXPECT_EQ(MakeSettingsPaths(dir, L"R", L"L", L"f").virtualStore, L"") << dir;
}

TEST(SettingsLocation, UnknownFoldersLeaveTheirPlacesEmpty) {
    const SettingsPaths p = MakeSettingsPaths(L"C:\\WINDOWS", L"", L"", L"f");
    EXPECT_EQ(p.perUser, L"");
    EXPECT_EQ(p.virtualStore, L"");
    EXPECT_EQ(SettingsLoadOrder(p), Paths{L"C:\\WINDOWS\\f"});
    // Without a per-user folder the Windows folder is all there is, whatever exists.
    EXPECT_EQ(SettingsSaveOrder(p, false, false), Paths{L"C:\\WINDOWS\\f"});
    EXPECT_EQ(SettingsSaveOrder(p, true, true), Paths{L"C:\\WINDOWS\\f"});

    const SettingsPaths noWindows = MakeSettingsPaths(L"", L"R", L"L", L"f");
    EXPECT_EQ(noWindows.windows, L"");
    EXPECT_EQ(noWindows.virtualStore, L"");
    EXPECT_EQ(SettingsLoadOrder(noWindows), Paths{L"R\\Rillo\\f"});
    EXPECT_EQ(SettingsSaveOrder(noWindows, false, false), Paths{L"R\\Rillo\\f"});
    EXPECT_EQ(SettingsLoadOrder(MakeSettingsPaths(L"", L"", L"", L"f")), Paths{});
}

TEST(SettingsLocation, ReadsPerUserThenVirtualStoreThenWindows) {
    const SettingsPaths p = Typical();
    EXPECT_EQ(SettingsLoadOrder(p), (Paths{p.perUser, p.virtualStore, p.windows}));
}

TEST(SettingsLocation, SaveGoesWhereTheNextStartReadsFirst) {
    const SettingsPaths p = Typical();
    // Nothing read before the Windows folder: it comes first, and the per-user file
    // takes over only when it cannot be written.
    EXPECT_EQ(SettingsSaveOrder(p, false, false), (Paths{p.windows, p.perUser}));
    // A per-user file, or a VirtualStore copy, would hide a save in the Windows folder.
    EXPECT_EQ(SettingsSaveOrder(p, true, false), Paths{p.perUser});
    EXPECT_EQ(SettingsSaveOrder(p, false, true), Paths{p.perUser});
    EXPECT_EQ(SettingsSaveOrder(p, true, true), Paths{p.perUser});
}

TEST(SettingsLocation, LoadStopsAtTheFirstFileThatIsThere) {
    const SettingsPaths p = Typical();
    std::map<std::wstring, SettingsRead> files;
    Paths tried;
    const auto read = [&](const std::wstring& path) {
        tried.push_back(path);
        const auto it = files.find(path);
        return it == files.end() ? SettingsRead::kMissing : it->second;
    };
    const auto load = [&] {
        tried.clear();
        return ReadFirstPresent(p, read);
    };
    EXPECT_EQ(load(), L"");
    EXPECT_EQ(tried, (Paths{p.perUser, p.virtualStore, p.windows}));

    files[p.windows] = SettingsRead::kRead;
    EXPECT_EQ(load(), p.windows);
    files[p.virtualStore] = SettingsRead::kRead;
    EXPECT_EQ(load(), p.virtualStore);
    EXPECT_EQ(tried, (Paths{p.perUser, p.virtualStore}));

    // A file that is there but cannot be read hides the older ones below it.
    files[p.perUser] = SettingsRead::kUnreadable;
    EXPECT_EQ(load(), L"");
    EXPECT_EQ(tried, Paths{p.perUser});
    files[p.perUser] = SettingsRead::kMissing;
    files[p.virtualStore] = SettingsRead::kUnreadable;
    EXPECT_EQ(load(), L"");
    EXPECT_EQ(tried, (Paths{p.perUser, p.virtualStore}));
}
