#include "app/settings_store.h"

#include "app/settings_text.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace rillo {

namespace {

class FileHandle {
  public:
    explicit FileHandle(HANDLE h) : m_h(h) {}
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    ~FileHandle() { Close(); }
    bool Valid() const { return m_h != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return m_h; }
    bool Close() {
        const bool ok = !Valid() || CloseHandle(m_h);
        m_h = INVALID_HANDLE_VALUE;
        return ok;
    }

  private:
    HANDLE m_h;
};

// Opening for reading with no sharing doubles as the check that nobody else has the
// file open.
FileHandle OpenForReading(const std::wstring& path) {
    return FileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
}

// Up to `limit` bytes from the start of the file; nothing on a read error.
std::optional<std::string> ReadHead(HANDLE file, std::size_t limit) {
    std::string data(limit, '\0');
    std::size_t got = 0;
    while (got < limit) {
        DWORD n = 0;
        if (!ReadFile(file, &data[got], DWORD(limit - got), &n, nullptr))
            return std::nullopt;
        if (n == 0)
            break;
        got += n;
    }
    data.resize(got);
    return data;
}

bool WriteAll(HANDLE file, const std::string& data) {
    std::size_t done = 0;
    while (done < data.size()) {
        DWORD n = 0;
        if (!WriteFile(file, data.data() + done, DWORD(data.size() - done), &n, nullptr) || n == 0)
            return false;
        done += n;
    }
    return true;
}

// Writes `data` to a new file beside `path` and returns its name, or nothing (and no
// file left behind) on failure.
std::optional<std::wstring> WriteSibling(const std::wstring& path, const std::string& data) {
    const DWORD pid = GetCurrentProcessId();
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::wstring name =
            path + L"." + std::to_wstring(pid) + L"-" + std::to_wstring(attempt) + L".tmp";
        FileHandle file(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.Valid()) {
            if (GetLastError() == ERROR_FILE_EXISTS || GetLastError() == ERROR_ALREADY_EXISTS)
                continue;
            return std::nullopt;
        }
        const bool written = WriteAll(file.Get(), data) && FlushFileBuffers(file.Get());
        if (file.Close() && written)
            return name;
        DeleteFileW(name.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace

bool LoadSettings(const std::wstring& path, std::int32_t& wavelength, std::int32_t& amplitude) {
    FileHandle file = OpenForReading(path);
    if (!file.Valid())
        return false;
    const std::optional<std::string> text = ReadHead(file.Get(), kSettingsFileLimit);
    file.Close();
    if (!text)
        return false;
    ParseSettingsText(*text, wavelength, amplitude);
    return true;
}

bool SaveSettings(const std::wstring& path, std::int32_t wavelength, std::int32_t amplitude) {
    std::string oldText;
    bool exists = false;
    {
        FileHandle file = OpenForReading(path);
        if (file.Valid()) {
            exists = true;
            BY_HANDLE_FILE_INFORMATION info{};
            if (!GetFileInformationByHandle(file.Get(), &info) ||
                (info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0)
                return false;
            // One byte past the limit tells a file that is too long from one that fits.
            std::optional<std::string> text = ReadHead(file.Get(), kSettingsFileLimit + 1);
            if (!text || text->size() > kSettingsFileLimit)
                return false;
            oldText = std::move(*text);
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            return false; // locked, or not ours to read
        }
    }
    if (exists) {
        // The replacement below would also go through where an in-place write would be
        // refused; ask for write access the way a rewrite in place would, without
        // touching the content.
        FileHandle probe(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.Valid())
            return false;
    }
    const std::optional<std::wstring> temp =
        WriteSibling(path, RewriteSettingsText(oldText, wavelength, amplitude));
    if (!temp)
        return false;
    // A file that appeared since we looked is not overwritten blind.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(temp->c_str(), path.c_str(), flags))
        return true;
    DeleteFileW(temp->c_str());
    return false;
}

} // namespace rillo
