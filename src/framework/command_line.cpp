#include "framework/command_line.h"

namespace rillo {

std::vector<std::wstring> SplitCommandLine(const std::wstring& line) {
    std::vector<std::wstring> args;
    size_t i = 0;
    const size_t n = line.size();

    // The program path: no escapes, quotes only group.
    std::wstring program;
    bool quoted = false;
    while (i < n) {
        const wchar_t c = line[i];
        if (c == L'"') {
            quoted = !quoted;
        } else if (!quoted && (c == L' ' || c == L'\t')) {
            break;
        } else {
            program += c;
        }
        ++i;
    }
    args.push_back(program);

    for (;;) {
        while (i < n && (line[i] == L' ' || line[i] == L'\t'))
            ++i;
        if (i >= n)
            break;
        std::wstring arg;
        bool inQuotes = false;
        while (i < n) {
            const wchar_t c = line[i];
            if (c == L'\\') {
                size_t slashes = 0;
                while (i < n && line[i] == L'\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == L'"') {
                    arg.append(slashes / 2, L'\\');
                    if (slashes % 2) {
                        arg += L'"';
                        ++i;
                    }
                } else {
                    arg.append(slashes, L'\\');
                }
                continue;
            }
            if (c == L'"') {
                if (inQuotes && i + 1 < n && line[i + 1] == L'"') {
                    arg += L'"'; // "" inside quotes
                    i += 2;
                    continue;
                }
                inQuotes = !inQuotes;
                ++i;
                continue;
            }
            if (!inQuotes && (c == L' ' || c == L'\t'))
                break;
            arg += c;
            ++i;
        }
        args.push_back(arg);
    }
    return args;
}

std::wstring AppNameFromPath(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/:");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const size_t dot = name.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0)
        name.erase(dot);
    return name;
}

} // namespace rillo
