#include "WardkeepDlg.h"

#include "AboutDlg.h"
#include "ChangePwd.h"
#include "NewCertificate.h"

#include "framework/App.h"
#include "framework/Help.h"
#include "framework/Seams.h"
#include "framework/Text.h"
#include "res/resource.h"
#include "store/CertificateStore.h"

#include <algorithm>
#include <set>

const fw::CommandEntry<CWardkeepDlg> CWardkeepDlg::kCommands[] = {
    {IDM_NEW_CERTIFICATE, &CWardkeepDlg::CreateCertificate},
    {IDM_DELETE_CERTIFICATE, &CWardkeepDlg::RemoveCertificate},
    {IDM_EXPORT_CERTIFICATE, &CWardkeepDlg::ExportCertificate},
    {IDM_IMPORT_CERTIFICATE, &CWardkeepDlg::ImportCertificate},
    {IDM_CHANGE_PASSWORD, &CWardkeepDlg::ChangePassword},
    {IDM_HELP, &CWardkeepDlg::ShowHelp},
};

const fw::NotificationEntry<CWardkeepDlg> CWardkeepDlg::kNotifications[] = {
    {IDC_CERTIFICATE_LIST, static_cast<UINT>(NM_CLICK), &CWardkeepDlg::OnListClick},
    {IDC_CERTIFICATE_LIST, static_cast<UINT>(LVN_ITEMCHANGED), &CWardkeepDlg::OnListItemChanged},
    {IDC_CERTIFICATE_LIST, static_cast<UINT>(LVN_KEYDOWN), &CWardkeepDlg::OnListKeyDown},
};

const fw::MessageMap<CWardkeepDlg> CWardkeepDlg::kMessageMap =
    fw::MakeMessageMap(kCommands, kNotifications);

namespace {

const wchar_t kDeleteQuestion[] = L"Do you really want to delete\nthis certificate? Any files\n"
                                  L"previously encrypted with this\nkey will not be recoverable!";

// Image of every list item in the small image list.
constexpr int kCertificateImage = 0;

// Sent by the store's watch when another program changed the list of certificates.
constexpr UINT kStoreChanged = WM_APP + 1;

// How a certificate's name is shown: in the ANSI code page, which holds it once escaped.
std::string ShownText(const store::ListedUserId& listed) {
    std::string text;
    fw::ToAnsi(listed.Shown(), text);
    return text;
}

bool SameNames(const std::vector<store::ListedUserId>& a,
               const std::vector<store::ListedUserId>& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const store::ListedUserId& x, const store::ListedUserId& y) {
                          return x.name == y.name;
                      });
}

} // namespace

CWardkeepDlg::CWardkeepDlg(fw::CWnd* parent)
    : CMappedDialog(IDD_WARDKEEP_DIALOG, parent),
      m_icon(::LoadIconA(fw::ResourceHandle(), MAKEINTRESOURCEA(IDI_APPLICATION_ICON))),
      m_images(::ImageList_Create(16, 16, ILC_MASK, 1, 3)) {
    HICON certificate =
        static_cast<HICON>(::LoadImageA(fw::ResourceHandle(), MAKEINTRESOURCEA(IDI_CERTIFICATE),
                                        IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    ::ImageList_AddIcon(m_images.Get(), certificate);
    ::DestroyIcon(certificate);
}

void CWardkeepDlg::DoDataExchange() {
    BindControl(m_userId, IDC_USER_ID);
    BindControl(m_list, IDC_CERTIFICATE_LIST);
}

BOOL CWardkeepDlg::OnInitDialog() {
    std::string about = fw::LoadResourceString(IDS_ABOUTBOX);
    if (!about.empty()) {
        HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, about.c_str());
    }
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_icon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_icon));
    {
        fw::CRedrawSuspended quiet(m_list);
        FillCertificateList(store::ListCertificates(*this));
    }
    m_watch = std::make_unique<store::StoreWatch>(m_hWnd, kStoreChanged);
    m_watch->Arm();
    return TRUE;
}

void CWardkeepDlg::RefreshCertificateList() {
    std::vector<store::ListedUserId> listed = store::ListCertificates(*this);
    if (SameNames(listed, m_listed)) {
        return; // nothing moves
    }
    // What the user was looking at, by name: it stays where it is still listed.
    std::set<std::wstring> selected;
    for (int i = m_list.GetNextItem(-1, LVNI_SELECTED); i >= 0 && i < int(m_listed.size());
         i = m_list.GetNextItem(i, LVNI_SELECTED)) {
        selected.insert(m_listed[static_cast<std::size_t>(i)].name);
    }
    int focused = m_list.GetNextItem(-1, LVNI_FOCUSED);
    std::optional<std::wstring> focusedName;
    if (focused >= 0 && focused < int(m_listed.size())) {
        focusedName = m_listed[static_cast<std::size_t>(focused)].name;
    }
    POINT before = {};
    ListView_GetOrigin(m_list.GetSafeHwnd(), &before);

    m_refilling = true;
    {
        fw::CRedrawSuspended quiet(m_list);
        m_list.DeleteAllItems();
        m_listed.clear();
        FillCertificateList(std::move(listed));
        for (std::size_t i = 0; i < m_listed.size(); ++i) {
            UINT state = (selected.count(m_listed[i].name) != 0 ? LVIS_SELECTED : 0u) |
                         (focusedName == m_listed[i].name ? LVIS_FOCUSED : 0u);
            if (state != 0) {
                ListView_SetItemState(m_list.GetSafeHwnd(), static_cast<int>(i), state,
                                      LVIS_SELECTED | LVIS_FOCUSED);
            }
        }
        POINT after = {};
        ListView_GetOrigin(m_list.GetSafeHwnd(), &after);
        if (after.x != before.x || after.y != before.y) {
            ListView_Scroll(m_list.GetSafeHwnd(), before.x - after.x, before.y - after.y);
        }
    }
    m_refilling = false;
}

void CWardkeepDlg::FillCertificateList(std::vector<store::ListedUserId> listed) {
    m_list.SetImageList(m_images.Get(), LVSIL_SMALL);
    m_listed.reserve(listed.size());
    for (store::ListedUserId& entry : listed) {
        if (m_list.InsertItem(static_cast<int>(m_listed.size()), ShownText(entry),
                              kCertificateImage) >= 0) {
            m_listed.push_back(std::move(entry));
        } else {
            fw::CurrentSeams().messageBox(m_hWnd, L"InserItem", L"Error!", MB_ICONHAND);
        }
    }
    m_list.LayOutItemsNow();
}

void CWardkeepDlg::OnListClick(const NMHDR&) {
    ShowSelection(-1);
}

void CWardkeepDlg::OnListItemChanged(const NMHDR& header) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    if (((change.uOldState ^ change.uNewState) & LVIS_SELECTED) != 0) {
        ShowSelection((change.uNewState & LVIS_SELECTED) != 0 ? change.iItem : -1);
    }
}

void CWardkeepDlg::ShowSelection(int selectedNow) {
    // An item being selected may not count as selected yet while the list tells of it.
    int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (selectedNow >= 0 && (selected < 0 || selectedNow < selected)) {
        selected = selectedNow;
    }
    if (m_refilling || selected < 0 || selected >= int(m_listed.size())) {
        return;
    }
    m_target = m_listed[static_cast<std::size_t>(selected)];
    m_userId.SetWindowText(ShownText(m_target));
}

void CWardkeepDlg::OnListKeyDown(const NMHDR& header) {
    switch (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey) {
    case VK_DELETE:
        RemoveCertificate();
        break;
    case VK_F5:
        RefreshCertificateList();
        break;
    default:
        break;
    }
}

std::optional<std::string> CWardkeepDlg::TakeTarget(const char* nothingDone) {
    if (!m_target.exact) {
        Refuse(fw::NotInCodePageText(L"The name \"" + m_target.Shown() + L"\"") +
               L"\nWardkeep does not act on it: it would act on another name. " +
               fw::FromAnsi(nothingDone));
        return std::nullopt;
    }
    return m_target.userId;
}

bool CWardkeepDlg::StillListed(const std::string& userId, const char* nothingDone) {
    keys::KeyBytes key;
    if (store::ReadKey(*this, store::kUsersKey, userId, key) != store::KeyRead::Absent) {
        return true;
    }
    std::string text = "The store holds no certificate " + fw::QuotedUserId(userId) +
                       " any more: another program may have deleted it.\n" + nothingDone;
    fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION, m_hWnd);
    RefreshCertificateList();
    return false;
}

void CWardkeepDlg::SayChangedMeanwhile(const char* nothingDone) {
    std::string text = "Another program changed the certificate \"" + ShownText(m_target) +
                       "\" while you were asked.\n" + nothingDone;
    fw::FrameworkMessageBox(text.c_str(), MB_OK | MB_ICONEXCLAMATION, m_hWnd);
    RefreshCertificateList();
}

void CWardkeepDlg::RemoveCertificate() {
    const char* nothing = "Nothing was deleted.";
    std::optional<std::string> userId = TakeTarget(nothing);
    if (!userId || !StillListed(*userId, nothing)) {
        return;
    }
    store::StoreSnapshot seen(*this, {*userId});
    // Named, and Enter alone (the default button) keeps the certificate.
    std::wstring question = std::wstring(kDeleteQuestion) + L"\n\n\"" + m_target.Shown() + L"\"";
    if (fw::CurrentSeams().messageBox(m_hWnd, question.c_str(), L"Warning",
                                      MB_OKCANCEL | MB_ICONQUESTION | MB_DEFBUTTON2) != IDOK) {
        return;
    }
    if (!seen.StillHolds()) {
        SayChangedMeanwhile(nothing);
        return;
    }
    store::DeleteCertificate(*this, *userId);
    RefreshCertificateList();
}

void CWardkeepDlg::CreateCertificate() {
    CNewCertificate dialog;
    if (dialog.DoModal() == IDOK) {
        RefreshCertificateList();
    }
}

// The list shows no password, so it is not refreshed. With an empty field the dialog itself says
// to select a certificate first.
void CWardkeepDlg::ChangePassword() {
    if (!m_target.name.empty()) {
        const char* nothing = "Nothing was changed.";
        std::optional<std::string> userId = TakeTarget(nothing);
        if (!userId || !StillListed(*userId, nothing)) {
            return;
        }
    }
    CChangePwd dialog(*this);
    dialog.DoModal();
}

void CWardkeepDlg::ShowHelp() {
    fw::OpenHelpContents(m_hWnd);
}

void CWardkeepDlg::PaintMinimized() {
    PAINTSTRUCT paint;
    HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    int iconWidth = ::GetSystemMetrics(SM_CXICON);
    int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    int x = (client.right - client.left - iconWidth + 1) / 2;
    int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_icon);
    ::EndPaint(m_hWnd, &paint);
}

INT_PTR CWardkeepDlg::OnMessage(UINT message, WPARAM wParam, LPARAM, bool& handled) {
    handled = true;
    switch (message) {
    case WM_SYSCOMMAND:
        // The system's own commands (close, move...) keep their default processing.
        if ((wParam & 0xFFF0) == IDM_ABOUTBOX) {
            CAboutDlg about(this);
            about.DoModal();
            return TRUE;
        }
        break;
    case WM_PAINT:
        if (::IsIconic(m_hWnd)) {
            PaintMinimized();
            return TRUE;
        }
        break;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<INT_PTR>(m_icon);
    case WM_DESTROY:
        m_watch.reset();
        fw::CloseAllHelp();
        break;
    case kStoreChanged:
        if (m_watch) {
            RefreshCertificateList();
            m_watch->Arm();
        }
        return TRUE;
    default:
        break;
    }
    handled = false;
    return FALSE;
}
