#include "saver/engine_choice.h"

namespace rillo {

namespace {

bool IsBlank(wchar_t c) {
    return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n';
}

// ASCII letters only: the values are English words, and a locale's case rules have no
// say in them.
bool SameWord(std::wstring_view text, std::wstring_view word) {
    if (text.size() != word.size())
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (c >= L'A' && c <= L'Z')
            c = wchar_t(c - L'A' + L'a');
        if (c != word[i])
            return false;
    }
    return true;
}

} // namespace

EngineChoice ParseEngineChoice(std::wstring_view text) {
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    if (SameWord(text, L"gl"))
        return EngineChoice::Gl;
    if (SameWord(text, L"cpu"))
        return EngineChoice::Cpu;
    return EngineChoice::Auto;
}

} // namespace rillo
