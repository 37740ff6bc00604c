#include "PlainList.h"

#include "resource.h"

#include <cstring>

namespace bench {

const char kUsersKey[] = "SOFTWARE\\Lockwell\\Users_lkw_20";

namespace {

// Appends the store's user IDs to `list`; `inserted` counts the items it took.
long AppendUserIds(HWND list, long& inserted) {
    inserted = 0;
    return EnumerateUserIds([&](char* name, DWORD) {
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = inserted;
        item.pszText = name;
        item.iImage = 0;
        if (::SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)) >= 0) {
            ++inserted;
        }
    });
}

// The number of values of the Users key, or 0.
DWORD StoredValueCount() {
    HKEY key = nullptr;
    DWORD count = 0;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUsersKey, 0, KEY_READ | KEY_WOW64_32KEY, &key) ==
        ERROR_SUCCESS) {
        ::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count,
                           nullptr, nullptr, nullptr, nullptr);
        ::RegCloseKey(key);
    }
    return count;
}

void SetRedraw(HWND list, BOOL redraw) {
    ::SendMessageA(list, WM_SETREDRAW, redraw, 0);
}

// Lets the list see its scroll bars as they are once redrawing is back on, then suspends
// redrawing again: a layout made now uses the client area the first paint would use.
void ShowScrollBarsSuspended(HWND list) {
    SetRedraw(list, TRUE);
    SetRedraw(list, FALSE);
}

void LayOutSuspended(HWND list, LayoutStep step) {
    switch (step) {
    case LayoutStep::kArrangeSuspended:
        ShowScrollBarsSuspended(list);
        ::SendMessageA(list, LVM_ARRANGE, LVA_DEFAULT, 0);
        break;
    case LayoutStep::kMetricsSuspended: {
        ShowScrollBarsSuspended(list);
        LRESULT spacing = ::SendMessageA(list, LVM_GETITEMSPACING, FALSE, 0);
        ::SendMessageA(list, LVM_SETICONSPACING, 0, spacing);
        ::SendMessageA(list, LVM_ARRANGE, LVA_DEFAULT, 0);
        break;
    }
    case LayoutStep::kPrintClientSuspended: {
        ShowScrollBarsSuspended(list);
        HDC memory = ::CreateCompatibleDC(nullptr);
        ::SendMessageA(list, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
        ::DeleteDC(memory);
        break;
    }
    default:
        break;
    }
}

void LayOutRedrawn(HWND list, LayoutStep step) {
    if (step == LayoutStep::kArrangeRedrawn) {
        ::SendMessageA(list, LVM_ARRANGE, LVA_DEFAULT, 0);
    } else if (step == LayoutStep::kUpdateRedrawn) {
        ::SendMessageA(list, LVM_UPDATE, 0, 0);
    }
}

} // namespace

HIMAGELIST CreateCertificateImages(HINSTANCE module) {
    HIMAGELIST images = ::ImageList_Create(16, 16, ILC_MASK, 1, 3);
    HICON certificate = static_cast<HICON>(::LoadImageA(module, MAKEINTRESOURCEA(IDI_CERTIFICATE),
                                                        IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ::ImageList_AddIcon(images, certificate);
    ::DestroyIcon(certificate);
    return images;
}

long FillListPlainly(HWND list) {
    SetRedraw(list, FALSE);
    long inserted = 0;
    long listed = AppendUserIds(list, inserted);
    SetRedraw(list, TRUE);
    ::InvalidateRect(list, nullptr, TRUE);
    return listed < 0 ? -1 : inserted;
}

const FillOrder kFillOrders[] = {
    {"plain", "the floor: images, fill, redraw on", false, ImagesSet::kBeforeFill,
     LayoutStep::kNone, false},
    {"count-hint", "LVM_SETITEMCOUNT before the fill", true, ImagesSet::kBeforeFill,
     LayoutStep::kNone, false},
    {"image-after", "image list after the fill, redraw suspended", false,
     ImagesSet::kAfterFillSuspended, LayoutStep::kNone, false},
    {"image-after-redraw", "image list after redraw is back on", false,
     ImagesSet::kAfterFillRedrawn, LayoutStep::kNone, false},
    {"after-show", "filled after the first show (posted from WM_INITDIALOG)", false,
     ImagesSet::kBeforeFill, LayoutStep::kNone, true},
    {"arrange", "LVM_ARRANGE after redraw is back on", false, ImagesSet::kBeforeFill,
     LayoutStep::kArrangeRedrawn, false},
    {"arrange-suspended", "LVM_ARRANGE with redraw suspended", false, ImagesSet::kBeforeFill,
     LayoutStep::kArrangeSuspended, false},
    {"update", "LVM_UPDATE after redraw is back on", false, ImagesSet::kBeforeFill,
     LayoutStep::kUpdateRedrawn, false},
    {"metrics-suspended", "item size measured + LVM_ARRANGE, redraw suspended", false,
     ImagesSet::kBeforeFill, LayoutStep::kMetricsSuspended, false},
    {"print-client", "WM_PRINTCLIENT to a memory DC, redraw suspended", false,
     ImagesSet::kBeforeFill, LayoutStep::kPrintClientSuspended, false},
    {"print-client-after-show", "print-client, filled after the first show", false,
     ImagesSet::kBeforeFill, LayoutStep::kPrintClientSuspended, true},
};
const int kFillOrderCount = sizeof kFillOrders / sizeof kFillOrders[0];

const FillOrder* FindFillOrder(const char* name) {
    for (const FillOrder& order : kFillOrders) {
        if (std::strcmp(order.name, name) == 0) {
            return &order;
        }
    }
    return nullptr;
}

long FillListInOrder(HWND list, HIMAGELIST images, const FillOrder& order) {
    if (order.images == ImagesSet::kBeforeFill) {
        ListView_SetImageList(list, images, LVSIL_SMALL);
    }
    SetRedraw(list, FALSE);
    if (order.countHint) {
        ::SendMessageA(list, LVM_SETITEMCOUNT, StoredValueCount(), 0);
    }
    long inserted = 0;
    long listed = AppendUserIds(list, inserted);
    if (order.images == ImagesSet::kAfterFillSuspended) {
        ListView_SetImageList(list, images, LVSIL_SMALL);
    }
    LayOutSuspended(list, order.layout);
    SetRedraw(list, TRUE);
    if (order.images == ImagesSet::kAfterFillRedrawn) {
        ListView_SetImageList(list, images, LVSIL_SMALL);
    }
    LayOutRedrawn(list, order.layout);
    ::InvalidateRect(list, nullptr, TRUE);
    return listed < 0 ? -1 : inserted;
}

} // namespace bench
