#include "framework/unique_handle.h"
#include "framework/gdi_object.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<int> g_freed;

struct RecordingDeleter {
    void operator()(int h) const noexcept { g_freed.push_back(h); }
};
using UniqueInt = rillo::UniqueHandle<int, RecordingDeleter>;

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
}

TEST(FrameworkHandles, GdiOwnersDeleteTheirObjects) {
    HBRUSH brush = ::CreateSolidBrush(RGB(1, 2, 3));
    HBITMAP bitmap = ::CreateBitmap(4, 4, 1, 32, nullptr);
    ASSERT_TRUE(IsGdiObject(brush));
    ASSERT_TRUE(IsGdiObject(bitmap));
    {
        rillo::UniqueBrush ownedBrush(brush);
        rillo::UniqueBitmap ownedBitmap(bitmap);
        rillo::UniqueBitmap moved = std::move(ownedBitmap);
        EXPECT_EQ(moved.get(), bitmap);
    }
    EXPECT_FALSE(IsGdiObject(brush));
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
            EXPECT_EQ(select.previous(), original);
            EXPECT_EQ(::GetCurrentObject(memoryDc, OBJ_BITMAP), bitmap.get());
        }
        EXPECT_EQ(::GetCurrentObject(memoryDc, OBJ_BITMAP), original);
        // A failed selection has nothing to put back.
        rillo::SelectObjectGuard none(memory.get(), nullptr);
        EXPECT_FALSE(none.ok());
    }
    EXPECT_EQ(::GetObjectType(memoryDc), 0u);

    // A window DC keeps the window it must go back to, across moves.
    rillo::UniqueWindowDc screen = rillo::GetUniqueDc(nullptr);
    ASSERT_TRUE(screen);
    rillo::UniqueWindowDc moved = std::move(screen);
    EXPECT_EQ(moved.get_deleter().hwnd, nullptr);
    EXPECT_NE(::GetDeviceCaps(moved.get(), HORZRES), 0);
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

TEST(FrameworkHandles, GdiObjectWrappers) {
    CBitmap bitmap;
    EXPECT_FALSE(bitmap.DeleteObject());
    ASSERT_TRUE(bitmap.CreateCompatibleBitmap(nullptr, 3, 2));
    BITMAP bm{};
    ASSERT_TRUE(bitmap.GetBitmap(&bm));
    EXPECT_EQ(bm.bmWidth, 3);
    EXPECT_EQ(bm.bmHeight, 2);
    HBITMAP handle = bitmap;
    CBitmap moved(std::move(bitmap));
    EXPECT_EQ(static_cast<HBITMAP>(moved), handle);
    EXPECT_EQ(bitmap.GetSafeHandle(), nullptr);
    EXPECT_TRUE(moved.DeleteObject());
    EXPECT_FALSE(IsGdiObject(handle));
}
