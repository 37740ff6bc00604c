// The plain, fast way to list the certificate store: one enumeration of the Users key with the
// store's buffers, and one LVM_INSERTITEMA per certificate at the end of a list whose redrawing
// is suspended meanwhile. The store benchmark measures the program against it; it uses none of
// the program's code.
#pragma once

#include <windows.h>

#include <commctrl.h>

namespace bench {

// The Users key as the store opens it: under HKEY_LOCAL_MACHINE, in the 32-bit view.
extern const char kUsersKey[];
constexpr REGSAM kUsersKeyAccess = KEY_ALL_ACCESS | KEY_WOW64_32KEY;
// The store's enumeration buffers: a name of at most 127 characters, data of at most 128 bytes.
constexpr DWORD kNameChars = 128;
constexpr DWORD kDataBytes = 128;

// Opens the Users key, asks for its value count and enumerates that many values, calling
// `onUserId(name, length)` for each REG_BINARY value that fits the buffers. Returns how many it
// reported, or -1 when the key cannot be opened.
template <class OnUserId> long EnumerateUserIds(OnUserId&& onUserId) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsersKey, 0, kUsersKeyAccess, &key) != ERROR_SUCCESS) {
        return -1;
    }
    long reported = 0;
    DWORD count = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) {
        for (DWORD index = 0; index < count; ++index) {
            char name[kNameChars];
            DWORD nameLength = kNameChars;
            BYTE data[kDataBytes];
            DWORD dataLength = kDataBytes;
            DWORD type = REG_NONE;
            if (::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataLength) ==
                    ERROR_SUCCESS &&
                type == REG_BINARY) {
                onUserId(name, nameLength);
                ++reported;
            }
        }
    }
    ::RegCloseKey(key);
    return reported;
}

// The main window's images: a 16x16 masked image list holding the certificate icon of `module`
// at index 0. The caller destroys it.
HIMAGELIST CreateCertificateImages(HINSTANCE module);

// Appends the store's user IDs to `list` (text and image 0) with its redrawing suspended, then
// lets it redraw. Returns the number of items inserted, or -1 when the Users key cannot be
// opened.
long FillListPlainly(HWND list);

// The orders of operations in which the store benchmark's variant comparison fills the list.
// Every one ends with the same items, texts, images and layout as the plain fill; they differ in
// when the image list is set, whether the item count is announced, when the items are laid out
// and whether the window was shown first.
enum class ImagesSet {
    kBeforeFill,         // as the plain fill
    kAfterFillSuspended, // after the fill, redrawing still suspended
    kAfterFillRedrawn,   // after redrawing is back on
};

// The steps made before redrawing is back on first turn redrawing on and off again, so that the
// list lays its items out with the scroll bars that its first paint will have.
enum class LayoutStep {
    kNone,                 // as the plain fill: the first paint lays the items out
    kArrangeSuspended,     // LVM_ARRANGE before redrawing is back on
    kArrangeRedrawn,       // LVM_ARRANGE after redrawing is back on
    kUpdateRedrawn,        // LVM_UPDATE of the first item after redrawing is back on
    kMetricsSuspended,     // item size measured (LVM_SETICONSPACING to the spacing it has) and
                           // LVM_ARRANGE, both before redrawing is back on
    kPrintClientSuspended, // WM_PRINTCLIENT into a memory DC before redrawing is back on: the
                           // list measures and lays out its items there, out of sight
};

struct FillOrder {
    const char* name; // for --variant
    const char* what; // one line for the report
    bool countHint;   // LVM_SETITEMCOUNT with the store's size before the fill
    ImagesSet images;
    LayoutStep layout;
    bool afterShow; // filled once the window has been shown: the floor program posts itself a
                    // message from WM_INITDIALOG, the benchmark shows and paints it empty first
};

extern const FillOrder kFillOrders[];
extern const int kFillOrderCount;

// The order named `name`, or null.
const FillOrder* FindFillOrder(const char* name);

// Fills `list` with the store's user IDs in `order`, setting `images` as its small image list
// (the window is shown beforehand by the caller when `order.afterShow`). Returns what
// FillListPlainly returns.
long FillListInOrder(HWND list, HIMAGELIST images, const FillOrder& order);

} // namespace bench
