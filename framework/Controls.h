// Thin views of windows and controls. A view does not own its window: the dialog that holds
// the control creates and destroys it.
#pragma once

#include "Secret.h"
#include "Win32.h"

#include <string>

namespace fw {

class CWnd {
  public:
    HWND GetSafeHwnd() const { return m_hWnd; }
    void Attach(HWND window) { m_hWnd = window; }

    void SetWindowText(const std::string& text) const { ::SetWindowTextA(m_hWnd, text.c_str()); }
    // The whole text as UTF-16, as typed.
    std::wstring GetUnicodeText() const;
    // The same for a password field: the copy is wiped when it is given up.
    WideSecret GetSecretText() const;
    // Empties the window's text (a password field once its dialog ends).
    void EmptyText() const { ::SetWindowTextW(m_hWnd, L""); }

  protected:
    HWND m_hWnd = nullptr;
};

class CEdit : public CWnd {
  public:
    // Lets the user type at most `maxChars` characters (text set by the program is not limited).
    void SetLimitText(int maxChars) const { ::SendMessageA(m_hWnd, EM_LIMITTEXT, maxChars, 0); }
};

// An ANSI list-view control.
class CListCtrl : public CWnd {
  public:
    void DeleteAllItems() const { ListView_DeleteAllItems(m_hWnd); }
    int GetItemCount() const { return ListView_GetItemCount(m_hWnd); }
    // Next item after `start` (-1: from the top) with the LVNI_ `flags`, or -1.
    int GetNextItem(int start, UINT flags) const {
        return ListView_GetNextItem(m_hWnd, start, flags);
    }
    // Inserts an item with text and image at `index`; returns its index, or -1 if refused.
    int InsertItem(int index, const std::string& text, int image) const;
    // At most `maxChars` characters of the item's text.
    std::string GetItemText(int index, int maxChars) const;
    void SetImageList(HIMAGELIST images, int which) const {
        ListView_SetImageList(m_hWnd, images, which);
    }
    // Lays the items out now, off-screen, while the list does not redraw (see CRedrawSuspended),
    // so that its next paint only draws. Call it after filling the list.
    void LayOutItemsNow() const;
};

// Keeps a window from redrawing from construction to destruction, then has it redrawn whole:
// for filling a control with many items at once.
class CRedrawSuspended {
  public:
    explicit CRedrawSuspended(const CWnd& window) : m_hWnd(window.GetSafeHwnd()) {
        ::SendMessageA(m_hWnd, WM_SETREDRAW, FALSE, 0);
    }
    ~CRedrawSuspended() {
        ::SendMessageA(m_hWnd, WM_SETREDRAW, TRUE, 0);
        ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
    }
    CRedrawSuspended(const CRedrawSuspended&) = delete;
    CRedrawSuspended& operator=(const CRedrawSuspended&) = delete;

  private:
    HWND m_hWnd;
};

} // namespace fw
