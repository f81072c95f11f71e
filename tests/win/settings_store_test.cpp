#include "app/settings_store.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>
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
        v.loaded = LoadSettings(m_path, v.wavelength, v.amplitude);
        return v;
    }

    std::wstring m_dir, m_path;
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

TEST_F(SettingsStore, AFileHeldOpenByAnotherHandleIsLeftAlone) {
    const std::string original = "keep me\r\n90\r\n200";
    Write(original);
    // Even a holder that shares everything blocks us: we open without sharing.
    for (DWORD share : {DWORD(0), DWORD(FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE)}) {
        SCOPED_TRACE(share);
        HANDLE other = CreateFileW(m_path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        const Values v = Load();
        EXPECT_FALSE(v.loaded);
        EXPECT_EQ(v.wavelength, 100);
        EXPECT_EQ(v.amplitude, 100);
        EXPECT_FALSE(SaveSettings(m_path, 1, 2));
        CloseHandle(other);
        EXPECT_EQ(Read(), original);
        ExpectNoStrayFiles();
    }
    EXPECT_LOADS(90, 200);
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
