// The main window: the list of certificates in the store, the User ID field that the other
// commands work on, and the menu from which every command starts. The field follows the list's
// selection, however it is made; the list follows the store, also when another program changes
// it; and every command reads the store again when it acts.
#pragma once

#include "framework/Dialog.h"
#include "framework/Handles.h"
#include "store/CertificateStore.h"
#include "store/StoreWatch.h"

#include <memory>
#include <optional>
#include <string>
#include <vector>

class CWardkeepDlg : public fw::CMappedDialog<CWardkeepDlg> {
  public:
    explicit CWardkeepDlg(fw::CWnd* parent = nullptr);

    const char* ClassName() const override { return "CWardkeepDlg"; }

    // Makes the list show the store, in the store's order. The selection, the focus and the view
    // stay where their certificates are still listed; a list that shows the store already is
    // left alone.
    void RefreshCertificateList();
    // The certificate that the field shows, which the commands act on (the unnamed value while
    // nothing was selected yet).
    const store::ListedUserId& Target() const { return m_target; }

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
    void OnListItemChanged(const NMHDR& header);
    void OnListKeyDown(const NMHDR& header);
    // Shows the first selected certificate in the User ID field; with none selected, the field
    // keeps what it shows. `selectedNow`: an item being selected, or -1.
    void ShowSelection(int selectedNow);
    // Fills the empty list with `listed`, keeping the list from redrawing meanwhile so that it is
    // drawn once, full: a store can hold thousands of certificates.
    void FillCertificateList(std::vector<store::ListedUserId> listed);
    // The target's user ID, when the store's operations can address it; otherwise says so, with
    // `nothingDone`, and gives nothing.
    std::optional<std::string> TakeTarget(const char* nothingDone);
    // Whether the store holds a UserKey for `userId`; if not, says that the certificate has gone,
    // with `nothingDone`, and shows the store as it is.
    bool StillListed(const std::string& userId, const char* nothingDone);
    // Says that the store changed while the user was asked about the target, and shows it anew.
    void SayChangedMeanwhile(const char* nothingDone);
    void PaintMinimized();

    fw::CEdit m_userId;
    fw::CListCtrl m_list;
    HICON m_icon;
    fw::UniqueImageList m_images;
    // The certificates of the list's items, item for item.
    std::vector<store::ListedUserId> m_listed;
    store::ListedUserId m_target;
    bool m_refilling = false; // the list's items and m_listed differ meanwhile
    std::unique_ptr<store::StoreWatch> m_watch;
};
