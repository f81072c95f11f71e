#include "app/settings_store.h"

#include "app/settings_text.h"
#include "framework/unique_handle.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>

namespace rillo {

namespace {

// Other readers (the search indexer, a virus scanner, a backup) are let in, and let us
// in, but not a writer: what we read is never half rewritten. Such readers hold the
// file only for moments, so a sharing violation is tried again for about half a
// second before it counts. The last error is that of the last attempt.
UniqueFile OpenForReading(const std::wstring& path) {
    constexpr int kAttempts = 10;
    constexpr DWORD kPauseMs = 50;
    for (int attempt = 1;; ++attempt) {
        UniqueFile file =
            MakeUniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (file || attempt == kAttempts)
            return file;
        const DWORD error = GetLastError();
        if (error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION)
            return file;
        Sleep(kPauseMs);
    }
}

bool IsMissing(DWORD error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
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

// A failure's reason as the system gave it; never 0, which would read as success.
DWORD LastError() {
    const DWORD error = GetLastError();
    return error != ERROR_SUCCESS ? error : ERROR_GEN_FAILURE;
}

// Writes `data` to a new file beside `path` and returns its name, or nothing (and no
// file left behind) on failure, with the reason in `error`.
std::optional<std::wstring> WriteSibling(const std::wstring& path, const std::string& data,
                                         DWORD& error) {
    const DWORD pid = GetCurrentProcessId();
    error = ERROR_FILE_EXISTS;
    for (unsigned attempt = 0; attempt < 16; ++attempt) {
        const std::wstring name =
            path + L"." + std::to_wstring(pid) + L"-" + std::to_wstring(attempt) + L".tmp";
        UniqueFile file = MakeUniqueFile(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr,
                                                     CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) {
            error = LastError();
            if (error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS)
                continue;
            return std::nullopt;
        }
        bool written = WriteAll(file.get(), data) && FlushFileBuffers(file.get());
        if (!written)
            error = LastError();
        // A write can still fail as the handle closes.
        if (!CloseHandle(file.release()) && written) {
            error = LastError();
            written = false;
        }
        if (written)
            return name;
        DeleteFileW(name.c_str());
        return std::nullopt;
    }
    return std::nullopt;
}

// Whether something is at `path`: anything but a plain "not there" counts, so that a
// file we may not look at is not mistaken for a missing one.
bool Exists(const std::wstring& path) {
    if (path.empty())
        return false;
    if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    return !IsMissing(GetLastError());
}

// Makes the folder that holds `path`, and the folders above it that are missing.
// Returns 0 when the folder is there.
DWORD CreateFolderFor(const std::wstring& path, int depth = 0) {
    const std::size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos || slash == 0 || depth > 32)
        return ERROR_PATH_NOT_FOUND;
    const std::wstring folder = path.substr(0, slash);
    if (CreateDirectoryW(folder.c_str(), nullptr))
        return ERROR_SUCCESS;
    DWORD error = LastError();
    if (error == ERROR_ALREADY_EXISTS)
        return ERROR_SUCCESS;
    if (error != ERROR_PATH_NOT_FOUND)
        return error;
    error = CreateFolderFor(folder, depth + 1);
    if (error != ERROR_SUCCESS)
        return error;
    return CreateDirectoryW(folder.c_str(), nullptr) ? ERROR_SUCCESS : LastError();
}

} // namespace

SettingsRead LoadSettings(const std::wstring& path, std::int32_t& wavelength,
                          std::int32_t& amplitude, std::string* firstLine) {
    UniqueFile file = OpenForReading(path);
    if (!file)
        return IsMissing(GetLastError()) ? SettingsRead::kMissing : SettingsRead::kUnreadable;
    const std::optional<std::string> text = ReadHead(file.get(), kSettingsFileLimit);
    file.reset();
    if (!text)
        return SettingsRead::kUnreadable;
    ParseSettingsText(*text, wavelength, amplitude);
    if (firstLine)
        *firstLine = std::string(SettingsFirstLine(*text));
    return SettingsRead::kRead;
}

SettingsSaveResult SaveSettings(const std::wstring& path, std::int32_t wavelength,
                                std::int32_t amplitude, std::string_view newFirstLine) {
    SettingsSaveResult result{path, ERROR_SUCCESS};
    std::string oldText(newFirstLine);
    bool exists = false;
    {
        UniqueFile file = OpenForReading(path);
        if (file) {
            exists = true;
            BY_HANDLE_FILE_INFORMATION info{};
            if (!GetFileInformationByHandle(file.get(), &info)) {
                result.nError = LastError();
                return result;
            }
            if ((info.dwFileAttributes & FILE_ATTRIBUTE_READONLY) != 0) {
                result.nError = ERROR_ACCESS_DENIED;
                return result;
            }
            // One byte past the limit tells a file that is too long from one that fits.
            std::optional<std::string> text = ReadHead(file.get(), kSettingsFileLimit + 1);
            if (!text) {
                result.nError = LastError();
                return result;
            }
            if (text->size() > kSettingsFileLimit) {
                result.nError = ERROR_FILE_TOO_LARGE;
                return result;
            }
            oldText = std::move(*text);
        } else if (GetLastError() != ERROR_FILE_NOT_FOUND) {
            result.nError = LastError(); // locked, or not ours to read
            return result;
        } else {
            // RewriteSettingsText keeps what precedes the first line end.
            oldText += "\r\n";
        }
    }
    if (exists) {
        // The replacement below would also go through where an in-place write would be
        // refused; ask for write access the way a rewrite in place would, without
        // touching the content.
        const UniqueFile probe =
            MakeUniqueFile(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe) {
            result.nError = LastError();
            return result;
        }
    }
    DWORD error = ERROR_SUCCESS;
    const std::optional<std::wstring> temp =
        WriteSibling(path, RewriteSettingsText(oldText, wavelength, amplitude), error);
    if (!temp) {
        result.nError = error;
        return result;
    }
    // A file that appeared since we looked is not overwritten blind.
    const DWORD flags = MOVEFILE_WRITE_THROUGH | (exists ? MOVEFILE_REPLACE_EXISTING : 0);
    if (MoveFileExW(temp->c_str(), path.c_str(), flags))
        return result;
    result.nError = LastError();
    DeleteFileW(temp->c_str());
    return result;
}

std::wstring LoadSettings(const SettingsPaths& paths, std::int32_t& wavelength,
                          std::int32_t& amplitude, std::string* firstLine) {
    return ReadFirstPresent(paths, [&](const std::wstring& path) {
        return LoadSettings(path, wavelength, amplitude, firstLine);
    });
}

SettingsSaveResult SaveSettings(const SettingsPaths& paths, std::int32_t wavelength,
                                std::int32_t amplitude, std::string_view loadedFirstLine) {
    SettingsSaveResult result{paths.windows, ERROR_PATH_NOT_FOUND};
    for (const std::wstring& path :
         SettingsSaveOrder(paths, Exists(paths.perUser), Exists(paths.virtualStore))) {
        if (path == paths.perUser) {
            if (const DWORD error = CreateFolderFor(path); error != ERROR_SUCCESS) {
                result = {path, error};
                continue;
            }
        }
        result = SaveSettings(path, wavelength, amplitude, loadedFirstLine);
        if (result)
            break;
    }
    return result;
}

} // namespace rillo
