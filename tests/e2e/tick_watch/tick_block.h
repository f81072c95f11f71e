// The memory tick_watch shares with its hook DLL inside rillo.scr: the hook counts the
// saver's ticks and notes the messages tick_watch asked about as they reach it.
#pragma once

#include <windows.h>

namespace tickwatch {

constexpr wchar_t kBlockName[] = L"RilloTickWatch";

struct Block {
    volatile LONG ticks; // WM_TIMER messages the saver's thread took from its queue
    volatile LONG noted; // entries written so far; entry i is at notes[i % kNotes]
    UINT wanted[8];      // the messages to note, 0 after the last
    struct Note {
        UINT message;
        LONG ticks; // the tick count when it was taken
    };
    static constexpr LONG kNotes = 64;
    Note notes[kNotes];
};

} // namespace tickwatch
