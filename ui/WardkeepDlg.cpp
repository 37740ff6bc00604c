#include "WardkeepDlg.h"

#include "AboutDlg.h"
#include "ChangePwd.h"
#include "NewCertificate.h"

#include "framework/App.h"
#include "framework/Help.h"
#include "framework/Seams.h"
#include "res/resource.h"
#include "store/CertificateStore.h"

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
    {IDC_CERTIFICATE_LIST, static_cast<UINT>(LVN_KEYDOWN), &CWardkeepDlg::OnListKeyDown},
};

const fw::MessageMap<CWardkeepDlg> CWardkeepDlg::kMessageMap =
    fw::MakeMessageMap(kCommands, kNotifications);

namespace {

const wchar_t kDeleteQuestion[] = L"Do you really want to delete\nthis certificate? Any files\n"
                                  L"previously encrypted with this\nkey will not be recoverable!";

// Image of every list item in the small image list.
constexpr int kCertificateImage = 0;

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
        FillCertificateList();
    }
    return TRUE;
}

void CWardkeepDlg::RefreshCertificateList() {
    fw::CRedrawSuspended quiet(m_list);
    m_list.DeleteAllItems();
    FillCertificateList();
}

void CWardkeepDlg::FillCertificateList() {
    std::vector<std::string> userIds = store::ListUserIds(*this);
    m_list.SetImageList(m_images.Get(), LVSIL_SMALL);
    int end = m_list.GetItemCount();
    for (const std::string& userId : userIds) {
        if (m_list.InsertItem(end, userId, kCertificateImage) >= 0) {
            ++end;
        } else {
            fw::CurrentSeams().messageBox(m_hWnd, L"InserItem", L"Error!", MB_ICONHAND);
        }
    }
    m_list.LayOutItemsNow();
}

void CWardkeepDlg::OnListClick(const NMHDR&) {
    int selected = m_list.GetNextItem(-1, LVNI_SELECTED);
    if (selected >= 0) {
        m_userId.SetWindowText(m_list.GetItemText(selected, store::kMaxListedUserIdChars));
    }
}

void CWardkeepDlg::OnListKeyDown(const NMHDR& header) {
    if (reinterpret_cast<const NMLVKEYDOWN&>(header).wVKey == VK_DELETE) {
        RemoveCertificate();
    }
}

void CWardkeepDlg::RemoveCertificate() {
    if (fw::CurrentSeams().messageBox(m_hWnd, kDeleteQuestion, L"Warning",
                                      MB_OKCANCEL | MB_ICONQUESTION) != IDOK) {
        return;
    }
    store::DeleteCertificate(*this, m_userId.GetWindowText(store::kMaxListedUserIdChars));
    RefreshCertificateList();
}

void CWardkeepDlg::CreateCertificate() {
    CNewCertificate dialog;
    if (dialog.DoModal() == IDOK) {
        RefreshCertificateList();
    }
}

// The list shows no password, so it is not refreshed.
void CWardkeepDlg::ChangePassword() {
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
        fw::CloseAllHelp();
        break;
    default:
        break;
    }
    handled = false;
    return FALSE;
}
