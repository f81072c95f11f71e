// The command line that opens a web address in the browser registered for HTML files.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace rillo {

// The buffer the command line is run from: 255 characters and the terminating zero.
constexpr std::size_t kCommandLineBufferSize = 256;

// `commandData` is the registry value's data as read (at most 256 bytes, with or
// without a terminating zero; the text ends at the first zero byte). The address goes
// in place of the first "%1" or, where there is none, straight after the text, with
// nothing in between. Returns nothing to run when the text is empty or blank, or when
// the result would not fit the command-line buffer: a cut-off command could start
// something other than the browser.
std::optional<std::string> BuildBrowserCommand(std::string_view commandData,
                                               std::string_view address);

} // namespace rillo
