// The floor of Wardkeep's start-up: a program that shows the main window's certificate list,
// filled the plain way in WM_INITDIALOG, and nothing else. It ends on WM_CLOSE (or IDCANCEL).
//   store_floor_program [--variant <name>]
// With a variant (bench::kFillOrders) it fills the same list in that order instead, for the
// store benchmark's --variants comparison.
#include "FloorDialog.h"
#include "PlainList.h"
#include "resource.h"

#include <cstring>

namespace {

// Posted from WM_INITDIALOG by the variants that fill after the first show.
constexpr UINT kFillNow = WM_APP + 1;

struct Floor {
    HIMAGELIST images;
    const bench::FillOrder* order; // null: the plain fill
};

void Fill(HWND dialog, const Floor& floor) {
    HWND list = ::GetDlgItem(dialog, IDC_CERTIFICATE_LIST);
    bench::FillListInOrder(list, floor.images, *floor.order);
}

INT_PTR CALLBACK FloorDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG: {
        const Floor& floor = *reinterpret_cast<const Floor*>(lParam);
        if (floor.order == nullptr) {
            HWND list = ::GetDlgItem(dialog, IDC_CERTIFICATE_LIST);
            ListView_SetImageList(list, floor.images, LVSIL_SMALL);
            bench::FillListPlainly(list);
        } else if (floor.order->afterShow) {
            ::PostMessageA(dialog, kFillNow, 0, lParam);
        } else {
            Fill(dialog, floor);
        }
        return TRUE;
    }
    case kFillNow:
        Fill(dialog, *reinterpret_cast<const Floor*>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            ::EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    default:
        break;
    }
    return FALSE;
}

// The order named after --variant on `commandLine`; null without one. Sets `valid` to false for
// an unknown name or a stray argument.
const bench::FillOrder* ParseVariant(const char* commandLine, bool& valid) {
    valid = true;
    const char kOption[] = "--variant ";
    const char* option = std::strstr(commandLine, kOption);
    if (option == nullptr) {
        valid = commandLine[std::strspn(commandLine, " ")] == '\0';
        return nullptr;
    }
    const bench::FillOrder* order = bench::FindFillOrder(option + sizeof kOption - 1);
    valid = order != nullptr;
    return order;
}

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
    bool valid = true;
    const bench::FillOrder* order = ParseVariant(commandLine, valid);
    if (!valid) {
        return 2;
    }
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_LISTVIEW_CLASSES};
    ::InitCommonControlsEx(&controls);
    Floor floor = {bench::CreateCertificateImages(instance), order};
    INT_PTR result = ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_FLOOR_LIST), nullptr,
                                       &FloorDialogProc, reinterpret_cast<LPARAM>(&floor));
    ::ImageList_Destroy(floor.images);
    return result == -1 ? 1 : 0;
}
