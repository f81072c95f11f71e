// Command-line splitting as the C runtime's start-up code does it. Portable.
#pragma once

#include <string>
#include <vector>

namespace rillo {

// Splits a command line into arguments. Element 0 is the program path: up to the
// first blank, or inside double quotes when it starts with one (no escapes there).
// The other arguments are separated by blanks and tabs; double quotes group and are
// removed, "" inside quotes is a literal quote, 2n backslashes before a quote give n
// backslashes, 2n+1 give n and a literal quote, other backslashes are literal.
std::vector<std::wstring> SplitCommandLine(const std::wstring& commandLine);

// The program's name for its profile: the file name without directory and extension.
std::wstring AppNameFromPath(const std::wstring& path);

} // namespace rillo
