// Whatever the registry holds, the command line either fits its buffer whole, with the
// address in it, or nothing is run.
#include "ui/browser_command.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // The first byte splits the input: the registry data (at most the 256 bytes the
    // value is read into), then the address.
    if (size == 0)
        return 0;
    const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
    const std::size_t split = std::min<std::size_t>(data[0] + 1u, rest.size());
    const std::string command = rest.substr(0, std::min<std::size_t>(split, 256));
    const std::string address = rest.substr(split);

    const std::optional<std::string> line = rillo::BuildBrowserCommand(command, address);
    const std::string text = command.substr(0, command.find('\0'));
    if (!line) {
        const bool blank = text.find_first_not_of(" \t") == std::string::npos;
        const bool tooLong =
            text.size() - (text.find("%1") != std::string::npos ? 2 : 0) + address.size() >=
            rillo::kCommandLineBufferSize;
        Check(blank || tooLong || address.find('\0') != std::string::npos);
        return 0;
    }
    Check(line->size() < rillo::kCommandLineBufferSize);
    Check(line->find('\0') == std::string::npos);
    const std::size_t at = text.find("%1");
    if (at == std::string::npos)
        Check(*line == text + address);
    else
        Check(*line == text.substr(0, at) + address + text.substr(at + 2));
    return 0;
}
