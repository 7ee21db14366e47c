// Loads this program's resources through the Windows loader: both string
// tables against StringTable.h, the pictures, the icon and the dialog template.
// The resources are linked in from res/BIOSUpdate.rc. Exit code 0 when all pass.
#include <windows.h>

#include <cstdio>
#include <string>

#include "res/StringTable.h"
#include "res/resource.h"

namespace {

int g_failures = 0;

void Expect(bool condition, const char* what, unsigned id) {
    if (!condition) {
        std::printf("FAIL: %s (%u)\n", what, id);
        ++g_failures;
    }
}

std::wstring WideFromUtf8(const char* text) {
    int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    if (length <= 0) {
        return L"?invalid UTF-8?";
    }
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    wide.resize(static_cast<size_t>(length) - 1);
    return wide;
}

// Reads entry id of its string-table block in one language, as stored.
bool ReadTableEntry(WORD language, unsigned id, std::wstring& text) {
    HRSRC info =
        FindResourceExW(nullptr, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(id / 16 + 1), language);
    HGLOBAL block = info ? LoadResource(nullptr, info) : nullptr;
    const WCHAR* entry = block ? static_cast<const WCHAR*>(LockResource(block)) : nullptr;
    if (!entry) {
        return false;
    }
    for (unsigned skip = id % 16; skip > 0; --skip) {
        entry += 1 + *entry;
    }
    text.assign(entry + 1, *entry);
    return true;
}

void CheckStrings() {
    const struct {
        WORD language;
        UiLanguage ui;
    } tables[] = {{MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), UiLanguage::English},
                  {MAKELANGID(LANG_KOREAN, SUBLANG_KOREAN), UiLanguage::Korean}};
    for (const auto& table : tables) {
        for (unsigned id = 128; id <= 150; ++id) {
            std::wstring loaded;
            Expect(ReadTableEntry(table.language, id, loaded), "string block missing", id);
            const char* expected = FindString(id, table.ui);
            Expect(expected ? loaded == WideFromUtf8(expected) : loaded.empty(),
                   "string differs from StringTable.h", id);
        }
    }
}

// Loads a bitmap the way the program does and reads one pixel back as RGB.
void CheckBitmap(unsigned id, LONG width, LONG height, int x, int y, COLORREF expected) {
    HBITMAP bitmap = LoadBitmapA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
    Expect(bitmap != nullptr, "LoadBitmapA failed", id);
    if (!bitmap) {
        return;
    }
    BITMAP info = {};
    GetObjectA(bitmap, sizeof info, &info);
    Expect(info.bmWidth == width && info.bmHeight == height, "bitmap size", id);

    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    COLORREF pixel = GetPixel(memory, x, y);
    Expect(pixel == expected, "bitmap pixel", id);
    if (pixel != expected) {
        std::printf("  pixel (%d, %d) = %06lx, expected %06lx\n", x, y,
                    static_cast<unsigned long>(pixel), static_cast<unsigned long>(expected));
    }
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    DeleteObject(bitmap);
}

void CheckPicturesAndIcon() {
    // Outer ring, inner ring, a softened corner and the marker's light band.
    CheckBitmap(IDB_BACKGROUND, 640, 480, 300, 351, RGB(188, 188, 188));
    CheckBitmap(IDB_BACKGROUND_KOREAN, 640, 480, 300, 364, RGB(70, 70, 70));
    CheckBitmap(IDB_BACKGROUND_KOREAN, 640, 480, 380, 365, RGB(126, 126, 126));
    CheckBitmap(IDB_MARKER, 22, 9, 10, 1, RGB(141, 166, 255));

    HICON icon = LoadIconA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_MAINFRAME));
    Expect(icon != nullptr, "LoadIconA failed", IDR_MAINFRAME);
    HRSRC dialog =
        FindResourceA(nullptr, MAKEINTRESOURCEA(IDD_BIOSUPDATE_DIALOG), MAKEINTRESOURCEA(5));
    Expect(dialog != nullptr, "dialog template missing", IDD_BIOSUPDATE_DIALOG);
}

}  // namespace

int main() {
    CheckStrings();
    CheckPicturesAndIcon();
    std::printf("%d failures\n", g_failures);
    return g_failures == 0 ? 0 : 1;
}
