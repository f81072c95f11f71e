#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <thread>
#include <vector>

using namespace std::string_literals;
using rillo::LoadSettings;
using rillo::SaveSettings;

namespace {

class SettingsStore : public ::testing::Test {
  protected:
    void SetUp() override {
        wchar_t temp[MAX_PATH + 1];
        ASSERT_NE(GetTempPathW(MAX_PATH + 1, temp), 0u);
        static unsigned counter = 0;
        m_dir = std::wstring(temp) + L"rillo-settings-" + std::to_wstring(GetCurrentProcessId()) +
                L"-" + std::to_wstring(++counter);
        ASSERT_TRUE(CreateDirectoryW(m_dir.c_str(), nullptr));
        m_path = m_dir + L"\\rillolst.txt";
    }

    void TearDown() override {
        for (const std::wstring& name : Files()) {
            const std::wstring full = m_dir + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(full.c_str());
        }
        RemoveDirectoryW(m_dir.c_str());
    }

    void Write(const std::string& bytes) const {
        HANDLE h = CreateFileW(m_path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        EXPECT_TRUE(WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr));
        EXPECT_EQ(n, bytes.size());
        CloseHandle(h);
    }

    std::string Read() const {
        HANDLE h = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string bytes;
        char buffer[4096];
        DWORD n = 0;
        while (ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n != 0)
            bytes.append(buffer, n);
        CloseHandle(h);
        return bytes;
    }

    std::vector<std::wstring> Files() const {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE h = FindFirstFileW((m_dir + L"\\*").c_str(), &found);
        if (h == INVALID_HANDLE_VALUE)
            return names;
        do {
            const std::wstring name = found.cFileName;
            if (name != L"." && name != L"..")
                names.push_back(name);
        } while (FindNextFileW(h, &found));
        FindClose(h);
        std::sort(names.begin(), names.end());
        return names;
    }

    // Only the settings file itself (or nothing): no temporary file was left behind.
    void ExpectNoStrayFiles(bool settingsExist = true) const {
        const std::vector<std::wstring> expected = settingsExist
                                                       ? std::vector<std::wstring>{L"rillolst.txt"}
                                                       : std::vector<std::wstring>{};
        EXPECT_EQ(Files(), expected);
    }

    struct Values {
        std::int32_t wavelength = 100, amplitude = 100;
        bool loaded = false;
    };
    Values Load() const {
        Values v;
        v.loaded = LoadSettings(m_path, v.wavelength, v.amplitude) == rillo::SettingsRead::kRead;
        return v;
    }

    std::wstring m_dir, m_path;
};

// The same three places a user's system has, in folders of the test's own.
class SettingsPlaces : public SettingsStore {
  protected:
    void SetUp() override {
        SettingsStore::SetUp();
        for (const wchar_t* sub : {L"\\windows", L"\\roaming", L"\\local"})
            ASSERT_TRUE(CreateDirectoryW((m_dir + sub).c_str(), nullptr));
        m_paths = rillo::MakeSettingsPaths(m_dir + L"\\windows", m_dir + L"\\roaming",
                                           m_dir + L"\\local", L"rillolst.txt");
        // Our Windows folder is not at the top of a drive; the VirtualStore copy is put
        // where it would be for C:\windows.
        m_paths.virtualStore = m_dir + L"\\local\\VirtualStore\\windows\\rillolst.txt";
    }

    void TearDown() override {
        for (const std::wstring& file : {m_paths.windows, m_paths.perUser, m_paths.virtualStore,
                                         m_dir + L"\\roaming\\Rillo"}) {
            SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(file.c_str());
        }
        for (const wchar_t* sub :
             {L"\\roaming\\Rillo", L"\\local\\VirtualStore\\windows", L"\\local\\VirtualStore",
              L"\\windows", L"\\roaming", L"\\local"})
            RemoveDirectoryW((m_dir + sub).c_str());
        SettingsStore::TearDown();
    }

    // Writes the file, making the folders it needs below the test's folder.
    void PutFile(const std::wstring& path, const std::string& bytes) const {
        for (std::size_t slash = path.find(L'\\', m_dir.size() + 1); slash != std::wstring::npos;
             slash = path.find(L'\\', slash + 1))
            CreateDirectoryW(path.substr(0, slash).c_str(), nullptr);
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        DWORD n = 0;
        EXPECT_TRUE(::WriteFile(h, bytes.data(), DWORD(bytes.size()), &n, nullptr));
        CloseHandle(h);
    }

    static std::string FileText(const std::wstring& path) {
        HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h == INVALID_HANDLE_VALUE)
            return "<missing>";
        std::string bytes;
        char buffer[4096];
        DWORD n = 0;
        while (::ReadFile(h, buffer, sizeof buffer, &n, nullptr) && n != 0)
            bytes.append(buffer, n);
        CloseHandle(h);
        return bytes;
    }

    struct Loaded {
        std::wstring from;
        std::int32_t wavelength = 100, amplitude = 100;
        std::string firstLine = "<none>";
    };
    Loaded LoadAll() const {
        Loaded l;
        l.from = LoadSettings(m_paths, l.wavelength, l.amplitude, &l.firstLine);
        return l;
    }

    // Loads, then saves new values as the dialog would.
    rillo::SettingsSaveResult LoadAndSave(std::int32_t wavelength, std::int32_t amplitude) const {
        const Loaded l = LoadAll();
        return SaveSettings(m_paths, wavelength, amplitude, l.from.empty() ? "" : l.firstLine);
    }

    rillo::SettingsPaths m_paths;
};

#define EXPECT_LOADS(w, a)                                                                         \
    do {                                                                                           \
        const Values v_ = Load();                                                                  \
        EXPECT_TRUE(v_.loaded);                                                                    \
        EXPECT_EQ(v_.wavelength, (w));                                                             \
        EXPECT_EQ(v_.amplitude, (a));                                                              \
    } while (0)

} // namespace

TEST_F(SettingsStore, MissingFileKeepsDefaultsAndSaveCreatesIt) {
    const Values v = Load();
    EXPECT_FALSE(v.loaded);
    EXPECT_EQ(v.wavelength, 100);
    EXPECT_EQ(v.amplitude, 100);
    EXPECT_EQ(Read(), "<missing>");

    EXPECT_TRUE(SaveSettings(m_path, 100, 100));
    EXPECT_EQ(Read(), "\r\n100\r\n100");
    EXPECT_EQ(Read().size(), 10u);
    ExpectNoStrayFiles();
    EXPECT_LOADS(100, 100);
}

TEST_F(SettingsStore, SaveIntoAMissingDirectoryWritesNothing) {
    m_path = m_dir + L"\\no-such-dir\\rillolst.txt";
    EXPECT_FALSE(SaveSettings(m_path, 1, 2));
    EXPECT_EQ(Read(), "<missing>");
    m_path = m_dir + L"\\rillolst.txt";
    ExpectNoStrayFiles(false);
}

TEST_F(SettingsStore, RoundTripKeepsTheFirstLine) {
    Write("abc\r\n90\r\n200");
    EXPECT_LOADS(90, 200);
    EXPECT_TRUE(SaveSettings(m_path, 110, 150));
    EXPECT_EQ(Read(), "abc\r\n110\r\n150");
    EXPECT_EQ(Read().size(), 13u);
    EXPECT_LOADS(110, 150);
    ExpectNoStrayFiles();
}

TEST_F(SettingsStore, HandMadeFiles) {
    const struct {
        std::string text;
        std::int32_t wavelength, amplitude;
        std::string saved; // after saving 7 and 8
    } cases[] = {
        {"\r\n90\r\n200", 90, 200, "\r\n7\r\n8"},
        {"abc\r\n90\r\n200\r\n", 90, 200, "abc\r\n7\r\n8"},
        {"abc\r\n90xyz\r\n200", 90, 200, "abc\r\n7\r\n8"},
        {"abc\r\n\r\n200", 200, 200, "abc\r\n7\r\n8"},
        {"abc\r\n-5\r\n1000", -5, 1000, "abc\r\n7\r\n8"},
        {"", 100, 100, "\r\n7\r\n8"},
        {"\n\n\n\n\n", 100, 100, "\r\n7\r\n8"},
        {"abc\n90\n200", 100, 100, "\r\n7\r\n8"},
        {"abc\r\n90", 90, 100, "abc\r\n7\r\n8"},
        {"abc\r\n2147483648\r\n-2147483649", INT32_MIN, INT32_MAX, "abc\r\n7\r\n8"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        Write(c.text);
        EXPECT_LOADS(c.wavelength, c.amplitude);
        EXPECT_TRUE(SaveSettings(m_path, 7, 8));
        EXPECT_EQ(Read(), c.saved);
    }
    ExpectNoStrayFiles();
}

TEST_F(SettingsStore, FirstLineBytesSurviveManySaves) {
    const std::string firstLine = "\0\x01\x80\xe9\xff \t\r\xff\n\0end"s;
    Write(firstLine + "\r\n1\r\n2");
    for (std::int32_t k = 0; k < 4; ++k)
        EXPECT_TRUE(SaveSettings(m_path, k * 1000, -k));
    EXPECT_EQ(Read(), firstLine + "\r\n3000\r\n-3");
    EXPECT_LOADS(3000, -3);
    EXPECT_TRUE(SaveSettings(m_path, INT32_MIN, INT32_MAX));
    EXPECT_EQ(Read(), firstLine + "\r\n-2147483648\r\n2147483647");
}

TEST_F(SettingsStore, OtherReadersAreSharedWithButNotWriters) {
    const std::string original = "keep me\r\n90\r\n200";
    Write(original);
    const struct {
        DWORD access, share;
        bool loads;
    } holders[] = {
        // The search indexer, a scanner, a backup: they read and let others read.
        {GENERIC_READ, FILE_SHARE_READ, true},
        {GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true},
        // A reader that lets nobody in, and a writer whatever it shares.
        {GENERIC_READ, 0, false},
        {GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, false},
    };
    for (const auto& h : holders) {
        SCOPED_TRACE(testing::Message() << std::hex << h.access << " " << h.share);
        HANDLE other = CreateFileW(m_path.c_str(), h.access, h.share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        std::int32_t wavelength = 100, amplitude = 100;
        EXPECT_EQ(LoadSettings(m_path, wavelength, amplitude),
                  h.loads ? rillo::SettingsRead::kRead : rillo::SettingsRead::kUnreadable);
        EXPECT_EQ(wavelength, h.loads ? 90 : 100);
        EXPECT_EQ(amplitude, h.loads ? 200 : 100);
        // A save still wants the file to itself.
        EXPECT_FALSE(SaveSettings(m_path, 1, 2));
        CloseHandle(other);
        EXPECT_EQ(Read(), original);
        ExpectNoStrayFiles();
    }
    EXPECT_LOADS(90, 200);
}

TEST_F(SettingsStore, AReaderThatLetsGoWithinMomentsIsWaitedFor) {
    Write("abc\r\n90\r\n200");
    HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(held, nullptr);
    // Another program's brief, unsharing read: it lets go a tenth of a second after the
    // load has met it.
    bool opened = false;
    std::thread holder([&] {
        HANDLE file = CreateFileW(m_path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        opened = file != INVALID_HANDLE_VALUE;
        SetEvent(held);
        Sleep(100);
        CloseHandle(file);
    });
    const DWORD wait = WaitForSingleObject(held, 10000);
    const Values v = Load();
    holder.join();
    CloseHandle(held);
    ASSERT_EQ(wait, WAIT_OBJECT_0);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(v.loaded);
    EXPECT_EQ(v.wavelength, 90);
    EXPECT_EQ(v.amplitude, 200);
}

TEST_F(SettingsStore, AReadOnlyFileIsReadButNotRewritten) {
    const std::string original = "ro\r\n90\r\n200";
    Write(original);
    ASSERT_TRUE(SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_LOADS(90, 200);
    EXPECT_FALSE(SaveSettings(m_path, 1, 2));
    EXPECT_EQ(Read(), original);
    EXPECT_NE(GetFileAttributesW(m_path.c_str()) & FILE_ATTRIBUTE_READONLY, 0u);
    ExpectNoStrayFiles();
}

TEST_F(SettingsStore, OnlyTheFirst64KiBAreRead) {
    const std::size_t limit = rillo::kSettingsFileLimit;
    ASSERT_EQ(limit, 65536u);

    // Exactly at the limit: read and rewritten like any other file.
    const std::string head = "\r\n1\r\n2";
    const std::string fits = std::string(limit - head.size(), 'x') + head;
    Write(fits);
    EXPECT_LOADS(1, 2);
    EXPECT_TRUE(SaveSettings(m_path, 3, 4));
    EXPECT_EQ(Read(), std::string(limit - head.size(), 'x') + "\r\n3\r\n4");

    // One byte more: the head is parsed, but the file is never rewritten.
    std::string tooLong = "abc\r\n90\r\n200\r\n";
    tooLong.resize(limit + 1, 'y');
    Write(tooLong);
    EXPECT_LOADS(90, 200);
    EXPECT_FALSE(SaveSettings(m_path, 5, 6));
    EXPECT_EQ(Read(), tooLong);

    // Numbers past the limit are not seen.
    const std::string farAway = std::string(limit, 'z') + "\r\n5\r\n6";
    Write(farAway);
    EXPECT_LOADS(100, 100);
    EXPECT_FALSE(SaveSettings(m_path, 5, 6));
    EXPECT_EQ(Read(), farAway);
    ExpectNoStrayFiles();
}

TEST_F(SettingsStore, FailuresCarryTheSystemsReason) {
    Write("abc\r\n1\r\n2");
    ASSERT_TRUE(SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_READONLY));
    rillo::SettingsSaveResult r = SaveSettings(m_path, 3, 4);
    EXPECT_EQ(r.nError, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(r.strPath, m_path);
    ASSERT_TRUE(SetFileAttributesW(m_path.c_str(), FILE_ATTRIBUTE_NORMAL));

    HANDLE other = CreateFileW(m_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    EXPECT_EQ(SaveSettings(m_path, 3, 4).nError, DWORD(ERROR_SHARING_VIOLATION));
    CloseHandle(other);

    Write(std::string(rillo::kSettingsFileLimit + 1, 'x'));
    EXPECT_EQ(SaveSettings(m_path, 3, 4).nError, DWORD(ERROR_FILE_TOO_LARGE));

    r = SaveSettings(m_dir + L"\\missing\\rillolst.txt", 3, 4);
    EXPECT_EQ(r.nError, DWORD(ERROR_PATH_NOT_FOUND));
    EXPECT_EQ(r.strPath, m_dir + L"\\missing\\rillolst.txt");

    Write("abc\r\n1\r\n2");
    r = SaveSettings(m_path, 3, 4);
    EXPECT_TRUE(r);
    EXPECT_EQ(r.nError, 0u);
    EXPECT_EQ(r.strPath, m_path);
}

TEST_F(SettingsStore, ANewFileTakesTheFirstLineItIsGiven) {
    EXPECT_TRUE(SaveSettings(m_path, 3, 4, "from elsewhere \xe9"));
    EXPECT_EQ(Read(), "from elsewhere \xe9\r\n3\r\n4");
    // An existing file keeps its own.
    EXPECT_TRUE(SaveSettings(m_path, 5, 6, "ignored"));
    EXPECT_EQ(Read(), "from elsewhere \xe9\r\n5\r\n6");
}

TEST_F(SettingsPlaces, TheFirstFileThatCanBeReadWins) {
    Loaded l = LoadAll();
    EXPECT_EQ(l.from, L"");
    EXPECT_EQ(l.wavelength, 100);
    EXPECT_EQ(l.amplitude, 100);

    PutFile(m_paths.windows, "win\r\n71\r\n201");
    l = LoadAll();
    EXPECT_EQ(l.from, m_paths.windows);
    EXPECT_EQ(l.wavelength, 71);
    EXPECT_EQ(l.firstLine, "win");

    PutFile(m_paths.virtualStore, "virtual\r\n72\r\n202");
    l = LoadAll();
    EXPECT_EQ(l.from, m_paths.virtualStore);
    EXPECT_EQ(l.amplitude, 202);
    EXPECT_EQ(l.firstLine, "virtual");

    PutFile(m_paths.perUser, "mine\r\n73");
    l = LoadAll();
    EXPECT_EQ(l.from, m_paths.perUser);
    EXPECT_EQ(l.wavelength, 73);
    EXPECT_EQ(l.amplitude, 100); // a missing line keeps the default, not another file's
    EXPECT_EQ(l.firstLine, "mine");

    // Another reader that shares the file does not keep it from us.
    HANDLE other = CreateFileW(m_paths.perUser.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                               OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    l = LoadAll();
    CloseHandle(other);
    EXPECT_EQ(l.from, m_paths.perUser);
    EXPECT_EQ(l.wavelength, 73);
}

TEST_F(SettingsPlaces, AFileThatIsThereButCannotBeReadIsNotPassedOver) {
    PutFile(m_paths.windows, "win\r\n71\r\n201");
    PutFile(m_paths.perUser, "mine\r\n73\r\n203");
    // Held by a program that lets nobody else read it: the defaults apply, not the
    // older values below it.
    HANDLE other = CreateFileW(m_paths.perUser.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const Loaded l = LoadAll();
    CloseHandle(other);
    EXPECT_EQ(l.from, L"");
    EXPECT_EQ(l.wavelength, 100);
    EXPECT_EQ(l.amplitude, 100);
    // A save made from those defaults goes to the file that holds the settings, keeping
    // its own first line; the older file is left as it was.
    EXPECT_TRUE(SaveSettings(m_paths, 5, 6, ""));
    EXPECT_EQ(FileText(m_paths.perUser), "mine\r\n5\r\n6");
    EXPECT_EQ(FileText(m_paths.windows), "win\r\n71\r\n201");
}

TEST_F(SettingsPlaces, AWritableWindowsFolderIsUsedAsAlways) {
    EXPECT_TRUE(LoadAndSave(7, 8));
    EXPECT_EQ(FileText(m_paths.windows), "\r\n7\r\n8");
    // No per-user folder is made while it is not needed.
    EXPECT_EQ(GetFileAttributesW((m_dir + L"\\roaming\\Rillo").c_str()), INVALID_FILE_ATTRIBUTES);

    PutFile(m_paths.windows, "kept\r\n1\r\n2");
    const rillo::SettingsSaveResult r = LoadAndSave(9, 10);
    EXPECT_TRUE(r);
    EXPECT_EQ(r.strPath, m_paths.windows);
    EXPECT_EQ(FileText(m_paths.windows), "kept\r\n9\r\n10");
    EXPECT_EQ(FileText(m_paths.perUser), "<missing>");
}

TEST_F(SettingsPlaces, AWindowsFileThatCannotBeWrittenMovesToThePerUserFile) {
    const std::string original = "from windows \x80\r\n90\r\n200";
    // Read-only, held open by another program, or too large: each one, in a fresh
    // per-user folder, gives way to a per-user file with the loaded first line.
    for (int way = 0; way < 3; ++way) {
        SCOPED_TRACE(way);
        DeleteFileW(m_paths.perUser.c_str());
        RemoveDirectoryW((m_dir + L"\\roaming\\Rillo").c_str());
        std::string windowsText = original;
        if (way == 2)
            windowsText.resize(rillo::kSettingsFileLimit + 1, 'z');
        PutFile(m_paths.windows, windowsText);
        const Loaded l = LoadAll();
        ASSERT_EQ(l.from, m_paths.windows);
        if (way == 0) {
            ASSERT_TRUE(SetFileAttributesW(m_paths.windows.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        HANDLE other = INVALID_HANDLE_VALUE;
        if (way == 1) {
            other = CreateFileW(m_paths.windows.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(other, INVALID_HANDLE_VALUE);
        }
        const rillo::SettingsSaveResult r = SaveSettings(m_paths, 110, 150, l.firstLine);
        if (other != INVALID_HANDLE_VALUE)
            CloseHandle(other);
        SetFileAttributesW(m_paths.windows.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_TRUE(r);
        EXPECT_EQ(r.strPath, m_paths.perUser);
        EXPECT_EQ(FileText(m_paths.perUser), "from windows \x80\r\n110\r\n150");
        EXPECT_EQ(FileText(m_paths.windows), windowsText);
    }
    // From now on the per-user file is read, and saved to, even though the Windows
    // folder's file could be written again.
    const Loaded l = LoadAll();
    EXPECT_EQ(l.from, m_paths.perUser);
    EXPECT_EQ(l.wavelength, 110);
    EXPECT_TRUE(LoadAndSave(111, 151));
    EXPECT_EQ(FileText(m_paths.perUser), "from windows \x80\r\n111\r\n151");
    EXPECT_EQ(FileText(m_paths.windows).size(), rillo::kSettingsFileLimit + 1);
}

TEST_F(SettingsPlaces, AVirtualStoreCopyIsReadAndItsSavesGoToThePerUserFile) {
    PutFile(m_paths.windows, "old\r\n1\r\n2");
    PutFile(m_paths.virtualStore, "virtual\r\n80\r\n180");
    const Loaded l = LoadAll();
    EXPECT_EQ(l.from, m_paths.virtualStore);
    EXPECT_EQ(l.wavelength, 80);
    // The Windows folder is writable here, but a save there would be hidden behind the
    // VirtualStore copy at the next start.
    const rillo::SettingsSaveResult r = SaveSettings(m_paths, 81, 181, l.firstLine);
    EXPECT_TRUE(r);
    EXPECT_EQ(r.strPath, m_paths.perUser);
    EXPECT_EQ(FileText(m_paths.perUser), "virtual\r\n81\r\n181");
    EXPECT_EQ(FileText(m_paths.windows), "old\r\n1\r\n2");
    EXPECT_EQ(FileText(m_paths.virtualStore), "virtual\r\n80\r\n180");
    EXPECT_EQ(LoadAll().wavelength, 81);
}

TEST_F(SettingsPlaces, MissingFoldersAboveThePerUserFileAreMade) {
    m_paths = rillo::MakeSettingsPaths(m_dir + L"\\windows", m_dir + L"\\roaming\\a\\b",
                                       m_dir + L"\\local", L"rillolst.txt");
    PutFile(m_paths.windows, "w\r\n1\r\n2");
    ASSERT_TRUE(SetFileAttributesW(m_paths.windows.c_str(), FILE_ATTRIBUTE_READONLY));
    const rillo::SettingsSaveResult r = LoadAndSave(5, 6);
    EXPECT_TRUE(r);
    EXPECT_EQ(FileText(m_paths.perUser), "w\r\n5\r\n6");
    DeleteFileW(m_paths.perUser.c_str());
    for (const wchar_t* sub : {L"\\roaming\\a\\b\\Rillo", L"\\roaming\\a\\b", L"\\roaming\\a"})
        EXPECT_TRUE(RemoveDirectoryW((m_dir + sub).c_str())) << sub;
}

TEST_F(SettingsPlaces, WhenNothingCanBeWrittenNothingIsWritten) {
    PutFile(m_paths.windows, "w\r\n1\r\n2");
    ASSERT_TRUE(SetFileAttributesW(m_paths.windows.c_str(), FILE_ATTRIBUTE_READONLY));
    // A file where the per-user folder should be: the folder cannot be made.
    PutFile(m_dir + L"\\roaming\\Rillo", "in the way");
    const rillo::SettingsSaveResult r = LoadAndSave(5, 6);
    EXPECT_FALSE(r);
    EXPECT_NE(r.nError, 0u);
    EXPECT_EQ(r.strPath, m_paths.perUser); // the last place tried
    EXPECT_EQ(FileText(m_paths.windows), "w\r\n1\r\n2");
    EXPECT_EQ(FileText(m_dir + L"\\roaming\\Rillo"), "in the way");

    // Without a per-user folder at all, the Windows folder's reason is the one given.
    const rillo::SettingsPaths windowsOnly =
        rillo::MakeSettingsPaths(m_dir + L"\\windows", L"", L"", L"rillolst.txt");
    const rillo::SettingsSaveResult w = SaveSettings(windowsOnly, 5, 6, "w");
    EXPECT_EQ(w.nError, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(w.strPath, m_paths.windows);
}
