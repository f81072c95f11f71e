// Loaded into rillo.scr by a message hook of tick_watch, to see the messages its thread
// takes from its queue: each WM_TIMER is a tick of the water, and the messages
// tick_watch asks about are noted with the tick count at the time. All of it lives in a
// named shared memory block that tick_watch creates and reads.
#include "tick_block.h"

namespace {

tickwatch::Block* Shared() {
    static tickwatch::Block* block = [] {
        HANDLE mapping = OpenFileMappingW(FILE_MAP_WRITE, FALSE, tickwatch::kBlockName);
        void* view = mapping
                         ? MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(tickwatch::Block))
                         : nullptr;
        // View and handle stay for the life of the process. The handle keeps the block's
        // name alive, so that a tick_watch started later opens this block instead of making a
        // new one that this view would never see.
        return static_cast<tickwatch::Block*>(view);
    }();
    return block;
}

bool Wanted(const tickwatch::Block& block, UINT message) {
    for (UINT wanted : block.wanted) {
        if (wanted == 0)
            return false;
        if (wanted == message)
            return true;
    }
    return false;
}

} // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK TickHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && wParam == PM_REMOVE) {
        const auto* message = reinterpret_cast<const MSG*>(lParam);
        if (tickwatch::Block* block = Shared()) {
            if (message->message == WM_TIMER) {
                InterlockedIncrement(&block->ticks);
            } else if (Wanted(*block, message->message)) {
                // Only the saver's thread writes: the entry is complete before the count
                // that makes it visible goes up.
                auto& note = block->notes[block->noted % tickwatch::Block::kNotes];
                note.message = message->message;
                note.ticks = block->ticks;
                InterlockedIncrement(&block->noted);
            }
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
