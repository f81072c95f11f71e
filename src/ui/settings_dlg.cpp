#include "ui/settings_dlg.h"

#include "framework/win_app.h"
#include "res/resource.h"
#include "res/web_address.h"
#include "ui/about_dlg.h"
#include "ui/web_page.h"

#include <commctrl.h>

namespace {

// Trackbar ranges and page sizes; the line size stays at the trackbar's own 1.
constexpr int kWavelengthMin = 70;
constexpr int kWavelengthMax = 120;
constexpr int kWavelengthPage = 10;
constexpr int kAmplitudeMin = 100;
constexpr int kAmplitudeMax = 250;
constexpr int kAmplitudePage = 20;

void SetUpTrackbar(HWND trackbar, int min, int max, int page, int pos) {
    ::SendMessageW(trackbar, TBM_SETRANGEMIN, FALSE, min);
    ::SendMessageW(trackbar, TBM_SETRANGEMAX, FALSE, max);
    ::SendMessageW(trackbar, TBM_SETPAGESIZE, 0, page);
    ::SendMessageW(trackbar, TBM_SETPOS, TRUE, pos);
}

} // namespace

CSettingsDlg::CSettingsDlg(std::wstring strProductName, const rillo::SaverSettings& settings,
                           SaveFunction save, CWnd* owner)
    : CDialog(IDD_SETTINGS, owner), m_strProductName(std::move(strProductName)),
      m_initial(settings), m_save(std::move(save)) {
    // The trackbar class must exist before the dialog manager creates the controls.
    ::InitCommonControls();
    m_hIcon = ::LoadIconW(GetAppInstance(), MAKEINTRESOURCEW(IDI_SAVER));
}

void CSettingsDlg::DoDataExchange(CDataExchange* dx) {
    CDialog::DoDataExchange(dx);
    ExchangeText(dx, IDC_TITLE, m_strTitle);
    ExchangeText(dx, IDC_AMPLITUDE_VALUE, m_nAmplitude);
    ExchangeText(dx, IDC_WAVELENGTH_VALUE, m_nWavelength);
}

BOOL CSettingsDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(FALSE)) {
        wchar_t about[128] = {};
        if (::LoadStringW(GetAppInstance(), IDS_ABOUTBOX, about, 128) > 0) {
            ::AppendMenuW(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuW(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }

    SetWindowText((m_strProductName + L" ScreenSaver").c_str());
    m_nWavelength = m_initial.nWavelength;
    m_nAmplitude = m_initial.nAmplitude;

    // A stored value outside a range puts the thumb at the nearer end, while the
    // readout keeps the stored value until that trackbar is moved.
    SetUpTrackbar(GetDlgItemHwnd(IDC_WAVELENGTH), kWavelengthMin, kWavelengthMax, kWavelengthPage,
                  m_nWavelength);
    SetUpTrackbar(GetDlgItemHwnd(IDC_AMPLITUDE), kAmplitudeMin, kAmplitudeMax, kAmplitudePage,
                  m_nAmplitude);

    UpdateData(FALSE);
    CenterWindow(); // over the owner, or in the work area when there is none
    return TRUE;    // focus to the first tab stop, the link button
}

LRESULT CSettingsDlg::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SYSCOMMAND:
        OnSysCommand(static_cast<UINT>(wParam), lParam);
        return 0;
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_QUERYDRAGICON:
        return reinterpret_cast<LRESULT>(OnQueryDragIcon());
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            switch (LOWORD(wParam)) {
            case IDC_WEBLINK:
                OnWebLink();
                return 0;
            case IDC_QUIT:
                OnQuit();
                return 0;
            case IDC_SAVE:
                OnSave();
                return 0;
            case IDC_DEFAULT:
                OnDefault();
                return 0;
            }
        }
        break;
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    }
    return CDialog::WindowProc(message, wParam, lParam);
}

void CSettingsDlg::OnSysCommand(UINT id, LPARAM) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        Default();
    }
}

void CSettingsDlg::OnPaint() {
    if (!IsIconic()) {
        Default();
        return;
    }
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT client;
    GetClientRect(&client);
    const int x = (client.right - client.left - iconWidth + 1) / 2;
    const int y = (client.bottom - client.top - iconHeight + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &ps);
}

HICON CSettingsDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CSettingsDlg::OnWebLink() {
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    // Windows 95, 98 and Me: the dialog closes once the browser has been started.
    if (::GetVersionExA(&version) && version.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS)
        OnOK();
    OpenWebPage(RILLO_WEB_ADDRESS_STR);
}

void CSettingsDlg::OnQuit() {
    OnCancel();
}

void CSettingsDlg::OnHScroll(UINT, UINT, HWND scrollBar) {
    // Every notification reads the trackbar itself, so dragging updates the readout
    // continuously.
    const int id = scrollBar ? ::GetDlgCtrlID(scrollBar) : 0;
    if (id == IDC_WAVELENGTH)
        m_nWavelength = static_cast<int>(::SendMessageW(scrollBar, TBM_GETPOS, 0, 0));
    else if (id == IDC_AMPLITUDE)
        m_nAmplitude = static_cast<int>(::SendMessageW(scrollBar, TBM_GETPOS, 0, 0));
    UpdateData(FALSE);
    Default();
}

void CSettingsDlg::OnSave() {
    if (m_save) {
        const rillo::SettingsSaveResult result =
            m_save(rillo::SaverSettings{m_nWavelength, m_nAmplitude});
        // Closing would throw the chosen values away as if they had been kept.
        if (!result) {
            ReportSaveFailure(result);
            return;
        }
    }
    OnOK();
}

void CSettingsDlg::ReportSaveFailure(const rillo::SettingsSaveResult& result) {
    std::wstring reason;
    wchar_t* text = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, result.nError, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    if (length > 0 && text)
        reason.assign(text, length);
    ::LocalFree(text);
    while (!reason.empty() && (reason.back() == L'\n' || reason.back() == L'\r' ||
                               reason.back() == L' ' || reason.back() == L'.'))
        reason.pop_back();
    if (reason.empty())
        reason = L"Error";
    const std::wstring message = L"The settings could not be saved to\n" + result.strPath +
                                 L"\n\n" + reason + L" (error " + std::to_wstring(result.nError) +
                                 L").";
    ::MessageBoxW(m_hWnd, message.c_str(), (m_strProductName + L" ScreenSaver").c_str(),
                  MB_OK | MB_ICONEXCLAMATION);
}

void CSettingsDlg::OnDefault() {
    m_nWavelength = rillo::kDefaultWavelength;
    m_nAmplitude = rillo::kDefaultAmplitude;
    ::SendMessageW(GetDlgItemHwnd(IDC_WAVELENGTH), TBM_SETPOS, TRUE, m_nWavelength);
    ::SendMessageW(GetDlgItemHwnd(IDC_AMPLITUDE), TBM_SETPOS, TRUE, m_nAmplitude);
    UpdateData(FALSE);
}
