#include "framework/dc.h"
#include "framework/palette.h"
#include "framework/unique_handle.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> g_freed;

struct RecordingDeleter {
    void operator()(int h) const noexcept { g_freed.push_back(h); }
};
using UniqueInt = rillo::UniqueHandle<int, RecordingDeleter>;

// A deleter with state of its own (as ReleaseDC needs the window): it must travel with
// the handle.
struct TaggedDeleter {
    int tag = 0;
    void operator()(int h) const noexcept { g_freed.push_back(tag * 100 + h); }
};
using UniqueTagged = rillo::UniqueHandle<int, TaggedDeleter>;

bool IsGdiObject(HGDIOBJ h) {
    return ::GetObjectType(h) != 0;
}

} // namespace

TEST(FrameworkHandles, OwnerFreesExactlyOnce) {
    g_freed.clear();
    {
        UniqueInt a(5);
        EXPECT_EQ(a.get(), 5);
        EXPECT_TRUE(a);
        UniqueInt b(std::move(a));
        EXPECT_FALSE(a);
        EXPECT_EQ(b.get(), 5);
        UniqueInt c;
        c = std::move(b);
        c = std::move(c); // self-move keeps the handle
        EXPECT_EQ(c.get(), 5);
        EXPECT_TRUE(g_freed.empty());
    }
    EXPECT_EQ(g_freed, std::vector<int>{5});

    g_freed.clear();
    {
        UniqueInt a(1);
        a.reset(2); // frees 1
        a.reset(2); // the same handle again: nothing to free
        EXPECT_EQ(a.release(), 2);
        EXPECT_FALSE(a);
        UniqueInt b(3);
        b = UniqueInt(4); // frees 3
    }
    EXPECT_EQ(g_freed, (std::vector<int>{1, 3, 4}));

    g_freed.clear();
    {
        UniqueTagged a(7, TaggedDeleter{3});
        UniqueTagged b(std::move(a));
        UniqueTagged c;
        c = std::move(b);
    }
    EXPECT_EQ(g_freed, std::vector<int>{307});
}

TEST(FrameworkHandles, GdiOwnersDeleteTheirObjects) {
    HBITMAP bitmap = ::CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_TRUE(IsGdiObject(bitmap));
    {
        rillo::UniqueBitmap ownedBitmap(bitmap);
        rillo::UniqueBitmap moved = std::move(ownedBitmap);
        EXPECT_EQ(moved.get(), bitmap);
    }
    EXPECT_FALSE(IsGdiObject(bitmap));

    HBITMAP kept = ::CreateBitmap(4, 4, 1, 32, nullptr);
    {
        rillo::UniqueBitmap owner(kept);
        EXPECT_EQ(owner.release(), kept);
    }
    EXPECT_TRUE(IsGdiObject(kept));
    ::DeleteObject(kept);
}

TEST(FrameworkHandles, DcOwnersAndSelectionGuard) {
    HDC memoryDc = nullptr;
    {
        rillo::UniqueMemoryDc memory(::CreateCompatibleDC(nullptr));
        ASSERT_TRUE(memory);
        memoryDc = memory.get();
        rillo::UniqueBitmap bitmap(::CreateBitmap(2, 2, 1, 32, nullptr));
        HGDIOBJ original = ::GetCurrentObject(memoryDc, OBJ_BITMAP);
        {
            rillo::SelectObjectGuard select(memory.get(), bitmap.get());
            EXPECT_TRUE(select.ok());
            EXPECT_EQ(::GetCurrentObject(memoryDc, OBJ_BITMAP), bitmap.get());
        }
        EXPECT_EQ(::GetCurrentObject(memoryDc, OBJ_BITMAP), original);
        // A failed selection has nothing to put back.
        rillo::SelectObjectGuard none(memory.get(), nullptr);
        EXPECT_FALSE(none.ok());
    }
    EXPECT_EQ(::GetObjectType(memoryDc), 0u);

    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    ASSERT_TRUE(screen);
    EXPECT_NE(::GetDeviceCaps(screen.get(), HORZRES), 0);

    // A CDC deletes the memory DC it made, and only that one.
    HDC made = nullptr;
    {
        CDC memory;
        ASSERT_TRUE(memory.CreateCompatibleDC(nullptr));
        made = memory.GetSafeHdc();
        EXPECT_EQ(::GetObjectType(made), DWORD(OBJ_MEMDC));
        EXPECT_FALSE(memory.CreateCompatibleDC(nullptr)); // one DC per object
        CDC view;
        view.m_hDC = made;
    }
    EXPECT_EQ(::GetObjectType(made), 0u);
}

TEST(FrameworkHandles, FileAndRegistryOwners) {
    EXPECT_FALSE(rillo::MakeUniqueFile(INVALID_HANDLE_VALUE));
    HKEY key = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\RilloHandleTest", 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    { rillo::UniqueRegKey owned(key); }
    DWORD values = 0;
    // The key was closed: using it fails.
    EXPECT_NE(::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values,
                                 nullptr, nullptr, nullptr, nullptr),
              ERROR_SUCCESS);
    ::RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\RilloHandleTest");
}

TEST(FrameworkHandles, PaletteOwnsItsObject) {
    struct {
        WORD version, count;
        PALETTEENTRY entries[2];
    } lp{0x300, 2, {{1, 2, 3, 0}, {4, 5, 6, 0}}};
    const auto* logPalette = reinterpret_cast<const LOGPALETTE*>(&lp);
    HGDIOBJ first = nullptr;
    HGDIOBJ second = nullptr;
    {
        CPalette palette;
        EXPECT_EQ(palette.GetSafeHandle(), nullptr);
        ASSERT_TRUE(palette.CreatePalette(logPalette));
        first = palette.GetSafeHandle();
        EXPECT_EQ(::GetObjectType(first), DWORD(OBJ_PAL));
        ASSERT_TRUE(palette.CreatePalette(logPalette)); // replaces and deletes the first
        second = palette.GetSafeHandle();
        EXPECT_FALSE(IsGdiObject(first));
        palette.DeleteObject();
        EXPECT_EQ(palette.GetSafeHandle(), nullptr);
        EXPECT_FALSE(IsGdiObject(second));
        ASSERT_TRUE(palette.CreatePalette(logPalette));
        first = palette.GetSafeHandle();
        EXPECT_FALSE(palette.CreatePalette(nullptr)); // nothing to make: empty
        EXPECT_FALSE(IsGdiObject(first));
        ASSERT_TRUE(palette.CreatePalette(logPalette));
        second = palette.GetSafeHandle();
    }
    EXPECT_FALSE(IsGdiObject(second));
}
