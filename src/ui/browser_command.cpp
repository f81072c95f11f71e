#include "ui/browser_command.h"

namespace rillo {

std::optional<std::string> BuildBrowserCommand(std::string_view commandData,
                                               std::string_view address) {
    std::string_view text = commandData.substr(0, commandData.find('\0'));
    if (text.find_first_not_of(" \t") == std::string_view::npos)
        return std::nullopt;
    std::string command;
    const auto placeholder = text.find("%1");
    if (placeholder == std::string_view::npos) {
        command.assign(text);
        command.append(address);
    } else {
        command.assign(text.substr(0, placeholder));
        command.append(address);
        command.append(text.substr(placeholder + 2));
    }
    if (command.size() >= kCommandLineBufferSize || command.find('\0') != std::string::npos)
        return std::nullopt;
    return command;
}

} // namespace rillo
