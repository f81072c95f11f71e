// Any command line chooses exactly one mode, by the first argument alone, and a preview
// always has a parent to live in.
#include "app/mode_choice.h"

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>
#include <vector>

namespace {

void Check(bool ok) {
    if (!ok)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // Two bytes make a wide character (little-endian, as Windows has them); a zero
    // character ends an argument.
    std::vector<std::wstring> args{L"rillo.scr"};
    std::wstring arg;
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t c = wchar_t(data[i] | (data[i + 1] << 8));
        if (c == 0) {
            args.push_back(arg);
            arg.clear();
        } else {
            arg += c;
        }
    }
    if (!arg.empty())
        args.push_back(arg);

    const rillo::ModeChoice choice = rillo::ChooseMode(args);

    std::vector<const wchar_t*> argv;
    for (const std::wstring& a : args)
        argv.push_back(a.c_str());
    argv.push_back(nullptr);
    for (int argc = 0; argc <= int(args.size()); ++argc)
        rillo::ChooseMode(argc, argv.data());
    const rillo::ModeChoice same = rillo::ChooseMode(int(args.size()), argv.data());
    Check(same.mode == choice.mode && same.previewParent == choice.previewParent &&
          same.settingsOwner == choice.settingsOwner);

    using rillo::SaverMode;
    if (args.size() < 2) {
        Check(choice.mode == SaverMode::Settings);
    } else if (const std::size_t c = args[1].find(L'c'); c != std::wstring::npos) {
        Check(choice.mode == SaverMode::Settings);
        if (args[1].compare(c, 2, L"c:") != 0)
            Check(choice.settingsOwner == 0);
        else
            Check(choice.settingsOwner ==
                      std::int32_t(std::wcstoll(args[1].c_str() + c + 2, nullptr, 10)) ||
                  args[1].size() > c + 2 + 15);
    } else if (args[1].find(L'p') != std::wstring::npos) {
        Check(choice.mode ==
              (choice.previewParent != 0 ? SaverMode::Preview : SaverMode::EndAtOnce));
        if (args.size() < 3)
            Check(choice.mode == SaverMode::EndAtOnce);
        else
            Check(choice.previewParent ==
                      std::int32_t(std::wcstoll(args[2].c_str(), nullptr, 10)) ||
                  args[2].size() > 15);
    } else {
        Check(choice.mode == SaverMode::FullScreen);
    }
    if (choice.mode != SaverMode::Preview)
        Check(choice.previewParent == 0);
    if (choice.mode != SaverMode::Settings)
        Check(choice.settingsOwner == 0);
    return 0;
}
