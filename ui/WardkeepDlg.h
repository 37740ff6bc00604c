// The main window: the list of certificates in the store, the User ID field that the other
// commands work on, and the menu from which every command starts.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handles.h"

#include <optional>
#include <string>

class CWardkeepDlg : public fw::CMappedDialog<CWardkeepDlg> {
  public:
    explicit CWardkeepDlg(fw::CWnd* parent = nullptr);

    const char* ClassName() const override { return "CWardkeepDlg"; }

    // Empties the list and refills it from the store, in the store's order.
    void RefreshCertificateList();
    // The whole text of the User ID field.
    std::string GetUserIdText() const { return m_userId.GetWindowText(); }

    static const fw::MessageMap<CWardkeepDlg> kMessageMap;

  protected:
    void DoDataExchange() override;
    BOOL OnInitDialog() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

  private:
    static const fw::CommandEntry<CWardkeepDlg> kCommands[];
    static const fw::NotificationEntry<CWardkeepDlg> kNotifications[];

    void CreateCertificate();
    void RemoveCertificate();
    void ChangePassword();
    void ExportCertificate();
    void ImportCertificate();
    // The path chosen in the save or open dialog for certificate files; nothing if cancelled.
    std::optional<std::wstring> AskCertificatePath(bool forSaving);
    void ShowHelp();
    void OnListClick(const NMHDR& header);
    void OnListKeyDown(const NMHDR& header);
    // Appends the store's user IDs to the list. The callers keep the list from redrawing
    // meanwhile, so that it is drawn once, full: a store can hold thousands of certificates.
    void FillCertificateList();
    void PaintMinimized();

    fw::CEdit m_userId;
    fw::CListCtrl m_list;
    HICON m_icon;
    fw::UniqueImageList m_images;
};
