#include "app/mode_choice.h"

#include "app/settings_text.h"

#include <cwchar>

namespace rillo {

ModeChoice ChooseMode(int argc, const wchar_t* const* argv) {
    ModeChoice choice;
    if (argc < 2 || argv == nullptr || argv[1] == nullptr)
        return choice;
    const wchar_t* first = argv[1];
    if (const wchar_t* c = std::wcschr(first, L'c')) {
        if (c[1] == L':')
            choice.settingsOwner = ReadLeadingInt(c + 2, c + 2 + std::wcslen(c + 2));
        return choice;
    }
    if (std::wcschr(first, L'p') == nullptr) {
        choice.mode = SaverMode::FullScreen;
        return choice;
    }
    // A missing handle, or one that reads as 0 ("0x1234" stops at the x), names no
    // window to live in.
    const wchar_t* handle = argc >= 3 ? argv[2] : nullptr;
    if (handle != nullptr)
        choice.previewParent = ReadLeadingInt(handle, handle + std::wcslen(handle));
    choice.mode = choice.previewParent != 0 ? SaverMode::Preview : SaverMode::EndAtOnce;
    return choice;
}

ModeChoice ChooseMode(const std::vector<std::wstring>& args) {
    std::vector<const wchar_t*> argv;
    argv.reserve(args.size() + 1);
    for (const std::wstring& arg : args)
        argv.push_back(arg.c_str());
    argv.push_back(nullptr);
    return ChooseMode(int(args.size()), argv.data());
}

} // namespace rillo
