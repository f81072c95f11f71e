// Reads the compiled resources back from this test program's own module, which
// links the same resource object as rillo.scr: what a fault in the resource script
// or its build would break for the saver, the settings dialog and the about box.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "res/resource.h"
#include "res/version.h"
#include "res/web_address.h"
#include "ripple/pixel_format.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

HINSTANCE Module() {
    return GetModuleHandleW(nullptr);
}

// The raw bytes of a resource; empty when it does not exist.
Bytes ResourceBytes(LPCWSTR name, LPCWSTR type) {
    HRSRC info = FindResourceW(Module(), name, type);
    if (!info)
        return {};
    HGLOBAL handle = LoadResource(Module(), info);
    const void* data = handle ? LockResource(handle) : nullptr;
    if (!data)
        return {};
    const auto* p = static_cast<const std::uint8_t*>(data);
    return Bytes(p, p + SizeofResource(Module(), info));
}

// Little-endian reader that reports running off the end instead of reading past it.
class Reader {
  public:
    explicit Reader(const Bytes& b) : m_b(&b) {}
    bool Ok() const { return m_ok; }
    std::uint8_t U8() {
        if (m_pos >= m_b->size()) {
            m_ok = false;
            return 0;
        }
        return (*m_b)[m_pos++];
    }
    std::uint16_t U16() {
        const unsigned lo = U8();
        return std::uint16_t(lo | unsigned(U8()) << 8);
    }
    std::uint32_t U32() {
        const std::uint32_t lo = U16();
        return lo | std::uint32_t(U16()) << 16;
    }
    std::int32_t I32() { return std::int32_t(U32()); }

  private:
    const Bytes* m_b;
    std::size_t m_pos = 0;
    bool m_ok = true;
};

// --- Dialog templates ---------------------------------------------------------------

INT_PTR CALLBACK QuietDialogProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

std::wstring ClassOf(HWND wnd) {
    wchar_t name[64] = {};
    GetClassNameW(wnd, name, 64);
    return name;
}

// The dialog manager must be able to build both dialogs: every class resolves and
// the icon statics find icon 128.
TEST(DialogTemplates, DialogManagerCreatesBothDialogs) {
    InitCommonControls();
    HWND settings =
        CreateDialogParamW(Module(), MAKEINTRESOURCEW(IDD_SETTINGS), nullptr, QuietDialogProc, 0);
    ASSERT_NE(settings, nullptr) << GetLastError();
    EXPECT_EQ(CompareStringOrdinal(ClassOf(GetDlgItem(settings, IDC_WAVELENGTH)).c_str(), -1,
                                   TRACKBAR_CLASSW, -1, TRUE),
              CSTR_EQUAL);
    EXPECT_EQ(CompareStringOrdinal(ClassOf(GetDlgItem(settings, IDC_AMPLITUDE_VALUE)).c_str(), -1,
                                   L"Edit", -1, TRUE),
              CSTR_EQUAL);
    // Every control the dialog's code reaches by its id.
    for (int id : {IDC_TITLE, IDC_WEBLINK, IDC_QUIT, IDC_SAVE, IDC_DEFAULT, IDC_WAVELENGTH,
                   IDC_AMPLITUDE, IDC_WAVELENGTH_VALUE, IDC_AMPLITUDE_VALUE})
        EXPECT_NE(GetDlgItem(settings, id), nullptr) << id;
    wchar_t caption[128] = {};
    GetDlgItemTextW(settings, IDC_WEBLINK, caption, 128);
    EXPECT_STREQ(caption, RILLO_WEB_ADDRESS_WSTR);
    int icons = 0;
    for (HWND child = GetWindow(settings, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if ((GetWindowLongW(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON &&
            ClassOf(child) == L"Static") {
            ++icons;
            EXPECT_NE(SendMessageW(child, STM_GETICON, 0, 0), 0);
        }
    EXPECT_EQ(icons, 1);
    DestroyWindow(settings);

    HWND about =
        CreateDialogParamW(Module(), MAKEINTRESOURCEW(IDD_ABOUTBOX), nullptr, QuietDialogProc, 0);
    ASSERT_NE(about, nullptr) << GetLastError();
    EXPECT_NE(GetDlgItem(about, IDOK), nullptr);
    EXPECT_FALSE(IsWindowVisible(about)); // the modal run shows it
    DestroyWindow(about);
}

// --- Strings, version, manifest -----------------------------------------------------

std::wstring LoadResourceString(UINT id) {
    const wchar_t* text = nullptr;
    // Length 0 asks for a read-only pointer to the resource itself, which also shows
    // trailing blanks or a missing entry exactly.
    const int length = LoadStringW(Module(), id, reinterpret_cast<LPWSTR>(&text), 0);
    return text ? std::wstring(text, std::size_t(length)) : std::wstring();
}

TEST(Strings, DescriptionAndAboutEntry) {
    EXPECT_EQ(LoadResourceString(IDS_DESCRIPTION), L"Rillo ScreenSaver");
    EXPECT_EQ(LoadResourceString(IDS_ABOUTBOX), L"&About Rillo  ScreenSaver");
    EXPECT_EQ(IDM_ABOUTBOX, 16);
    EXPECT_EQ(IDM_ABOUTBOX & 0xF, 0); // the system menu uses the low four bits
}

std::wstring VersionString(const Bytes& info, const wchar_t* name) {
    void* value = nullptr;
    UINT length = 0;
    const std::wstring path = std::wstring(L"\\StringFileInfo\\040904b0\\") + name;
    if (!VerQueryValueW(info.data(), path.c_str(), &value, &length) || !value)
        return L"<missing>";
    return static_cast<const wchar_t*>(value);
}

TEST(Version, NumbersAndNames) {
    wchar_t path[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameW(nullptr, path, MAX_PATH), 0u);
    const DWORD size = GetFileVersionInfoSizeW(path, nullptr);
    ASSERT_NE(size, 0u);
    Bytes info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path, 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    ASSERT_NE(fixed, nullptr);
    // The project version, in the binary fields and the text alike: the installers
    // compare the file's version with the one they carry.
    const DWORD major_minor = DWORD(RILLO_VERSION_MAJOR) << 16 | RILLO_VERSION_MINOR;
    const DWORD patch = DWORD(RILLO_VERSION_PATCH) << 16;
    EXPECT_EQ(fixed->dwFileVersionMS, major_minor);
    EXPECT_EQ(fixed->dwFileVersionLS, patch);
    EXPECT_EQ(fixed->dwProductVersionMS, major_minor);
    EXPECT_EQ(fixed->dwProductVersionLS, patch);
    const std::wstring quad = std::to_wstring(RILLO_VERSION_MAJOR) + L"." +
                              std::to_wstring(RILLO_VERSION_MINOR) + L"." +
                              std::to_wstring(RILLO_VERSION_PATCH) + L".0";
    EXPECT_EQ(VersionString(info, L"FileVersion"), quad);
    EXPECT_EQ(VersionString(info, L"ProductVersion"), quad);
    EXPECT_EQ(VersionString(info, L"ProductName"), L"Rillo");
    EXPECT_EQ(VersionString(info, L"FileDescription"), L"Rillo ScreenSaver");
    EXPECT_EQ(VersionString(info, L"CompanyName"), L"Quorvane Inc.");
}

TEST(Manifest, AsksForCommonControls6AndPerMonitorDpi) {
    const Bytes manifest = ResourceBytes(MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_FALSE(manifest.empty());
    const std::string text(manifest.begin(), manifest.end());
    EXPECT_NE(text.find("name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""),
              std::string::npos);
    EXPECT_NE(text.find(std::string("version=\"") + RILLO_VERSION_QUAD_STR + "\""),
              std::string::npos);
    EXPECT_NE(text.find(">true/pm</dpiAware>"), std::string::npos);
    EXPECT_NE(text.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos);
    EXPECT_NE(text.find("<supportedOS Id=\"{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}\"/>"),
              std::string::npos);
}

// --- Icon, cursor, bitmap -----------------------------------------------------------

struct BitmapInfo {
    std::int32_t size, width, height;
    std::uint16_t planes, bits;
    std::uint32_t compression, imageSize, colorsUsed;
};

BitmapInfo ReadBitmapInfo(Reader& r) {
    BitmapInfo h{};
    h.size = r.I32();
    h.width = r.I32();
    h.height = r.I32();
    h.planes = r.U16();
    h.bits = r.U16();
    h.compression = r.U32();
    h.imageSize = r.U32();
    r.U32();
    r.U32();
    h.colorsUsed = r.U32();
    r.U32();
    return h;
}

struct IconEntry {
    int width, height, colors, bits;
    std::uint32_t bytes;
    std::uint16_t id;
};

// The group icon directory of the program icon.
std::vector<IconEntry> IconDirectory() {
    const Bytes group = ResourceBytes(MAKEINTRESOURCEW(IDI_SAVER), RT_GROUP_ICON);
    Reader r(group);
    std::vector<IconEntry> entries;
    if (r.U16() != 0 || r.U16() != 1) // reserved, icon
        return entries;
    const int count = r.U16();
    for (int k = 0; k < count; ++k) {
        IconEntry e{};
        e.width = r.U8();
        e.height = r.U8();
        e.colors = r.U8();
        r.U8();
        r.U16();
        e.bits = r.U16();
        e.bytes = r.U32();
        e.id = r.U16();
        if (!r.Ok())
            return {};
        entries.push_back(e);
    }
    return entries;
}

TEST(Images, IconHas32And16PixelImagesIn16ColoursThenLargeOnes) {
    const std::vector<IconEntry> entries = IconDirectory();
    std::vector<std::vector<int>> shapes; // width, height, colours, bits
    for (const IconEntry& e : entries)
        shapes.push_back({e.width, e.height, e.colors, e.bits});
    // 0 stands for 256 in the directory.
    ASSERT_EQ(
        shapes,
        (std::vector<std::vector<int>>{
            {32, 32, 16, 4}, {16, 16, 16, 4}, {48, 48, 0, 32}, {64, 64, 0, 32}, {0, 0, 0, 32}}));
    for (const IconEntry& e : entries) {
        if (e.bits != 4)
            continue;
        const int width = e.width;
        SCOPED_TRACE("image " + std::to_string(width));
        const Bytes image = ResourceBytes(MAKEINTRESOURCEW(e.id), RT_ICON);
        ASSERT_EQ(image.size(), e.bytes);
        Reader ir(image);
        const BitmapInfo h = ReadBitmapInfo(ir);
        EXPECT_EQ(h.size, 40);
        EXPECT_EQ(h.width, width);
        EXPECT_EQ(h.height, 2 * width); // colour image and mask
        EXPECT_EQ(h.bits, 4);
        // Header, 16 colours, 4-bit image and 1-bit mask with their rows padded to 4 bytes.
        const std::size_t colorStride = std::size_t(RowStride(width, 4));
        const std::size_t maskStride = std::size_t(RowStride(width, 1));
        const std::size_t colorBits = 40 + 16 * 4;
        const std::size_t maskBits = colorBits + colorStride * std::size_t(width);
        ASSERT_EQ(image.size(), maskBits + maskStride * std::size_t(width));
        // A transparent pixel must be black in the colour image, or it would invert
        // the desktop behind it instead of letting it show. The pool is round: its
        // corners are transparent, its middle is not.
        int transparent = 0;
        for (int row = 0; row < width; ++row) {
            for (int x = 0; x < width; ++x) {
                const bool masked =
                    image[maskBits + std::size_t(row) * maskStride + std::size_t(x / 8)] &
                    (0x80 >> (x % 8));
                const unsigned color =
                    (image[colorBits + std::size_t(row) * colorStride + std::size_t(x / 2)] >>
                     (x % 2 == 0 ? 4 : 0)) &
                    0xF;
                if (masked) {
                    ++transparent;
                    EXPECT_EQ(color, 0u) << "pixel " << x << ", " << row;
                }
                const bool corner = (x == 0 || x == width - 1) && (row == 0 || row == width - 1);
                const bool middle = x == width / 2 && row == width / 2;
                if (corner) {
                    EXPECT_TRUE(masked) << "pixel " << x << ", " << row;
                }
                if (middle) {
                    EXPECT_FALSE(masked);
                }
            }
        }
        EXPECT_LT(transparent, width * width / 2);
    }
    // The largest is stored as a PNG file, as Windows expects from 256 pixels on.
    const Bytes largest = ResourceBytes(MAKEINTRESOURCEW(entries.back().id), RT_ICON);
    const Bytes signature = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    ASSERT_GE(largest.size(), signature.size());
    EXPECT_EQ(Bytes(largest.begin(), largest.begin() + 8), signature);
}

// Draws the icon at its own size over a background of one colour and returns the
// pixels, top row first.
std::vector<std::uint32_t> IconOver(HICON icon, int size, std::uint32_t background) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = size;
    info.bmiHeader.biHeight = -size;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    std::vector<std::uint32_t> pixels;
    if (dc && bitmap && bits) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        auto* p = static_cast<std::uint32_t*>(bits);
        std::fill(p, p + size * size, background);
        DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
        GdiFlush();
        pixels.assign(p, p + size * size);
        SelectObject(dc, old);
    }
    if (bitmap)
        DeleteObject(bitmap);
    if (dc)
        DeleteDC(dc);
    return pixels;
}

TEST(Images, IconLoadsAtEverySizeWithItsRimBlendedIntoTheBackground) {
    for (int size : {16, 32, 48, 64, 256}) {
        SCOPED_TRACE("size " + std::to_string(size));
        HICON icon = static_cast<HICON>(
            LoadImageW(Module(), MAKEINTRESOURCEW(IDI_SAVER), IMAGE_ICON, size, size, 0));
        ASSERT_NE(icon, nullptr);
        ICONINFO info{};
        ASSERT_TRUE(GetIconInfo(icon, &info));
        BITMAP bm{};
        ASSERT_TRUE(info.hbmColor && GetObjectW(info.hbmColor, sizeof bm, &bm));
        EXPECT_EQ(bm.bmWidth, size);
        EXPECT_EQ(bm.bmHeight, size);
        DeleteObject(info.hbmColor);
        if (info.hbmMask)
            DeleteObject(info.hbmMask);

        // Over white and over black: the corners are the background, the middle is
        // the icon's own. Partly covered pixels differ between the two only in the
        // large images, whose rim is smoothed by their alpha.
        const std::vector<std::uint32_t> white = IconOver(icon, size, 0xFFFFFF);
        const std::vector<std::uint32_t> black = IconOver(icon, size, 0x000000);
        DestroyIcon(icon);
        ASSERT_EQ(white.size(), std::size_t(size * size));
        ASSERT_EQ(black.size(), white.size());
        const std::size_t middle = std::size_t(size / 2 * size + size / 2);
        EXPECT_EQ(white[0] & 0xFFFFFF, 0xFFFFFFu);
        EXPECT_EQ(black[0] & 0xFFFFFF, 0u);
        EXPECT_EQ(white[middle], black[middle]);
        int blended = 0;
        for (std::size_t k = 0; k < white.size(); ++k) {
            const std::uint32_t w = white[k] & 0xFFFFFF, b = black[k] & 0xFFFFFF;
            blended += w != b && w != 0xFFFFFF;
        }
        if (size >= 48) {
            EXPECT_GT(blended, size) << "no pixel of the rim is partly transparent";
        } else {
            EXPECT_EQ(blended, 0);
        }
    }
}

TEST(Images, CursorIsInvisibleWithHotSpotAtTopLeft) {
    const Bytes group = ResourceBytes(MAKEINTRESOURCEW(IDC_NOCURSOR), RT_GROUP_CURSOR);
    Reader r(group);
    EXPECT_EQ(r.U16(), 0);
    EXPECT_EQ(r.U16(), 2); // cursor
    ASSERT_EQ(r.U16(), 1);
    EXPECT_EQ(r.U16(), 32);
    EXPECT_EQ(r.U16(), 64);
    r.U16();
    EXPECT_EQ(r.U16(), 1);
    const std::uint32_t bytes = r.U32();
    const std::uint16_t id = r.U16();
    ASSERT_TRUE(r.Ok());

    const Bytes image = ResourceBytes(MAKEINTRESOURCEW(id), RT_CURSOR);
    ASSERT_EQ(image.size(), bytes);
    Reader ir(image);
    EXPECT_EQ(ir.U16(), 0); // hot spot x
    EXPECT_EQ(ir.U16(), 0); // hot spot y
    const BitmapInfo h = ReadBitmapInfo(ir);
    EXPECT_EQ(h.width, 32);
    EXPECT_EQ(h.height, 64);
    EXPECT_EQ(h.bits, 1);
    const std::size_t masks = 4 + 40 + 2 * 4;
    const std::size_t maskBytes = 32 * 4;
    ASSERT_EQ(image.size(), masks + 2 * maskBytes);
    for (std::size_t k = 0; k < maskBytes; ++k) {
        EXPECT_EQ(image[masks + k], 0x00) << "XOR byte " << k;
        EXPECT_EQ(image[masks + maskBytes + k], 0xFF) << "AND byte " << k;
    }

    HCURSOR cursor = LoadCursorW(Module(), MAKEINTRESOURCEW(IDC_NOCURSOR));
    ASSERT_NE(cursor, nullptr);
    ICONINFO info{};
    ASSERT_TRUE(GetIconInfo(cursor, &info));
    EXPECT_FALSE(info.fIcon);
    EXPECT_EQ(info.xHotspot, 0u);
    EXPECT_EQ(info.yHotspot, 0u);
    if (info.hbmMask)
        DeleteObject(info.hbmMask);
    if (info.hbmColor)
        DeleteObject(info.hbmColor);
}

TEST(Images, PreviewBitmapIs158By116With8BitDefaultPalette) {
    const Bytes bitmap = ResourceBytes(MAKEINTRESOURCEW(IDB_PREVIEW), RT_BITMAP);
    Reader r(bitmap);
    const BitmapInfo h = ReadBitmapInfo(r);
    ASSERT_TRUE(r.Ok());
    EXPECT_EQ(h.size, 40);
    EXPECT_EQ(h.width, 158);
    EXPECT_EQ(h.height, 116); // positive: bottom-up
    EXPECT_EQ(h.planes, 1);
    EXPECT_EQ(h.bits, 8);
    EXPECT_EQ(h.compression, std::uint32_t(BI_RGB));
    EXPECT_TRUE(h.colorsUsed == 0 || h.colorsUsed == 256);
    ASSERT_EQ(bitmap.size(), std::size_t(40 + 256 * 4 + RowStride(158, 8) * 116));
    const auto& palette = rillo::DefaultPaletteEntries();
    for (int k = 0; k < 256; ++k) {
        const std::uint8_t* q = &bitmap[std::size_t(40 + 4 * k)];
        EXPECT_EQ((rillo::PaletteColor{q[2], q[1], q[0]}), palette[std::size_t(k)])
            << "colour " << k;
    }

    // A picture of water, not a blank: many colours, mostly from the blue end.
    std::vector<int> histogram(256);
    for (std::size_t k = 40 + 256 * 4; k < bitmap.size(); ++k)
        ++histogram[bitmap[k]];
    int colors = 0;
    long blueish = 0;
    for (int k = 0; k < 256; ++k) {
        colors += histogram[std::size_t(k)] ? 1 : 0;
        const rillo::PaletteColor& c = palette[std::size_t(k)];
        if (c.blue > c.red && c.blue >= c.green)
            blueish += histogram[std::size_t(k)];
    }
    EXPECT_GE(colors, 8);
    EXPECT_GT(blueish, 158L * 116 * 3 / 4);

    HBITMAP loaded = LoadBitmapW(Module(), MAKEINTRESOURCEW(IDB_PREVIEW));
    ASSERT_NE(loaded, nullptr);
    BITMAP bm{};
    ASSERT_NE(GetObjectW(loaded, sizeof bm, &bm), 0);
    EXPECT_EQ(bm.bmWidth, 158);
    EXPECT_EQ(bm.bmHeight, 116);
    DeleteObject(loaded);
}

} // namespace
