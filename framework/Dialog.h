// Modal dialogs built from dialog templates, with a per-class table of commands and
// notifications. Exceptions raised by handlers stop at the dialog procedure and are reported
// through the class's OnException; they never unwind through the system's frames.
#pragma once

#include "Controls.h"
#include "Exceptions.h"
#include "Reporter.h"

#include <cstddef>
#include <exception>

namespace fw {

// The framework's help command: the "&Help" menu item, and WM_HELP without Shift/Ctrl/Alt.
constexpr UINT kHelpCommand = 57670;

// A dialog reports the exceptions of its handlers, and of the operations that run on its behalf,
// in message boxes that it owns.
class CDialog : public CWnd, public IReporter {
  public:
    // `parent` null: the application's main window owns the dialog.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr);
    virtual ~CDialog() = default;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // Creates the dialog from its template and runs it until EndDialog; returns that result,
    // or -1 when the dialog could not be created.
    INT_PTR DoModal();
    void EndDialog(INT_PTR result) const { ::EndDialog(m_hWnd, result); }

    // The class name that reports of this class's exceptions begin with.
    virtual const char* ClassName() const = 0;

    // Shows "<ClassName>::OnException(): <error text>" (text cut to 254 characters) in a
    // framework message box owned by this dialog while it is open. Allocates nothing.
    void OnException(const std::exception& e) noexcept override;
    // A message box with an OK button and no icon, owned by this dialog.
    void ShowMessage(const char* text, const char* caption) override;
    // A warning box "Event Log", owned by this dialog.
    void OnAuditNotWritten(const std::wstring& text) noexcept override;

  protected:
    // Binds the dialog's controls to their views; runs before OnInitDialog.
    virtual void DoDataExchange() {}
    // Returns TRUE to let the system focus the first control that takes the focus.
    virtual BOOL OnInitDialog() { return TRUE; }
    virtual void OnOK() { EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    // A menu or accelerator command or a button click; returns whether the class handles it.
    virtual bool OnCommand(UINT id) {
        (void)id;
        return false;
    }
    // A control's notification; returns whether the class handles it.
    virtual bool OnNotify(const NMHDR& header) {
        (void)header;
        return false;
    }
    // Any other message. Sets `handled` and returns the dialog procedure's result when the
    // class handles the message; otherwise the system's default processing applies.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
        (void)message, (void)wParam, (void)lParam;
        handled = false;
        return FALSE;
    }

    // The window is being destroyed: the dialog has ended, whichever way.
    virtual void OnDestroy() {}

    void BindControl(CWnd& control, int id) const { control.Attach(::GetDlgItem(m_hWnd, id)); }

    // The text of `field` in the ANSI code page, exactly as typed. When a character has no
    // equivalent there, or the text takes more than `maxBytes` bytes there (a character can take
    // two), tells the user in a box owned by this dialog, naming the field (`what`, such as
    // "The password"), and returns false.
    bool TakeAnsiText(const CWnd& field, const wchar_t* what, std::size_t maxBytes,
                      std::string& text);
    bool TakeAnsiText(const CWnd& field, const wchar_t* what, std::size_t maxBytes, Secret& text);
    // Tells the user why an input is refused, in a box owned by this dialog; returns false.
    bool Refuse(const std::wstring& text);

  private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR Dispatch(UINT message, WPARAM wParam, LPARAM lParam);

    UINT m_templateId;
    CWnd* m_parent;
};

// One row of a dialog class's command table.
template <class T> struct CommandEntry {
    UINT id;
    void (T::*handler)();
};

// One row of a dialog class's notification table.
template <class T> struct NotificationEntry {
    int controlId;
    UINT code;
    void (T::*handler)(const NMHDR& header);
};

template <class T> struct MessageMap {
    const CommandEntry<T>* commands;
    std::size_t commandCount;
    const NotificationEntry<T>* notifications;
    std::size_t notificationCount;
};

template <class T, std::size_t C, std::size_t N>
constexpr MessageMap<T> MakeMessageMap(const CommandEntry<T> (&commands)[C],
                                       const NotificationEntry<T> (&notifications)[N]) {
    return MessageMap<T>{commands, C, notifications, N};
}

template <class T, std::size_t C>
constexpr MessageMap<T> MakeMessageMap(const CommandEntry<T> (&commands)[C]) {
    return MessageMap<T>{commands, C, nullptr, 0};
}

// Base of a dialog class T whose handlers are listed in `static const MessageMap<T> kMessageMap`.
template <class T> class CMappedDialog : public CDialog {
  public:
    using CDialog::CDialog;

  protected:
    bool OnCommand(UINT id) override {
        const MessageMap<T>& map = T::kMessageMap;
        for (std::size_t i = 0; i < map.commandCount; ++i) {
            if (map.commands[i].id == id) {
                (static_cast<T*>(this)->*map.commands[i].handler)();
                return true;
            }
        }
        return false;
    }

    bool OnNotify(const NMHDR& header) override {
        const MessageMap<T>& map = T::kMessageMap;
        for (std::size_t i = 0; i < map.notificationCount; ++i) {
            const NotificationEntry<T>& entry = map.notifications[i];
            if (static_cast<UINT_PTR>(entry.controlId) == header.idFrom &&
                entry.code == header.code) {
                (static_cast<T*>(this)->*entry.handler)(header);
                return true;
            }
        }
        return false;
    }
};

} // namespace fw
