// Which of its three roles the process plays, decided from its command line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace rillo {

enum class SaverMode {
    Settings,   // the settings dialog, owned by `settingsOwner` when there is one
    Preview,    // a water window inside the pane `previewParent`
    FullScreen, // the saver over every monitor
    EndAtOnce,  // a preview request without a usable parent: nothing to show
};

struct ModeChoice {
    SaverMode mode = SaverMode::Settings;
    // The preview pane's handle as the 32-bit value the command line gives; nonzero in
    // preview mode, 0 otherwise. Window handles are sign-extended 32-bit values, so a
    // 64-bit build widens it as a signed number.
    std::int32_t previewParent = 0;
    // The window that asked for the settings ("/c:HANDLE", decimal, read like the
    // preview's handle); 0 when the first argument names none, or outside settings mode.
    std::int32_t settingsOwner = 0;
};

// `argv` holds `argc` arguments as the start-up code splits the command line, element 0
// being the program's path. Only the first argument picks the mode, by a case-sensitive
// search for "c", then for "p"; the second one is read only for a preview. In settings
// mode the first "c" may be followed by ":" and the owner's handle.
ModeChoice ChooseMode(int argc, const wchar_t* const* argv);
ModeChoice ChooseMode(const std::vector<std::wstring>& args);

} // namespace rillo
