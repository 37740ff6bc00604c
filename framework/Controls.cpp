#include "Controls.h"

#include <vector>

namespace fw {

namespace {

// Fills `text` (a std::wstring or a WideSecret, through `resize`) with the window's whole text.
template <class Resize> void ReadUnicodeText(HWND window, Resize&& resize) {
    int length = ::GetWindowTextLengthW(window);
    if (length <= 0) {
        return;
    }
    wchar_t* buffer = resize(static_cast<std::size_t>(length));
    int got = ::GetWindowTextW(window, buffer, length + 1);
    resize(got > 0 ? static_cast<std::size_t>(got) : 0);
}

} // namespace

std::wstring CWnd::GetUnicodeText() const {
    std::wstring text;
    ReadUnicodeText(m_hWnd, [&](std::size_t size) {
        text.resize(size);
        return &text[0];
    });
    return text;
}

WideSecret CWnd::GetSecretText() const {
    WideSecret text;
    ReadUnicodeText(m_hWnd, [&](std::size_t size) {
        text.Resize(size);
        return text.Buffer();
    });
    return text;
}

int CListCtrl::InsertItem(int index, const std::string& text, int image) const {
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = index;
    item.iSubItem = 0;
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image;
    return static_cast<int>(
        ::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
}

std::string CListCtrl::GetItemText(int index, int maxChars) const {
    std::vector<char> text(static_cast<std::size_t>(maxChars) + 1, '\0');
    LVITEMA item = {};
    item.iSubItem = 0;
    item.pszText = text.data();
    item.cchTextMax = maxChars + 1;
    LRESULT length =
        ::SendMessageA(m_hWnd, LVM_GETITEMTEXTA, index, reinterpret_cast<LPARAM>(&item));
    return std::string(text.data(), length > 0 ? static_cast<std::size_t>(length) : 0);
}

// Under Wine a list view measures and places its items at its first paint, and invalidates every
// item that moved, which costs more than the insertions themselves for a large list. Rendering
// it into a memory DC does that work without invalidating anything; the redraw switched on and
// off first lets the list take its scroll bars, which decide where the items go. On Windows this
// is an off-screen paint: nothing is drawn until redrawing is switched on for good.
void CListCtrl::LayOutItemsNow() const {
    ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
    ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    HDC memory = ::CreateCompatibleDC(nullptr);
    ::SendMessageA(m_hWnd, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
    ::DeleteDC(memory);
}

} // namespace fw
