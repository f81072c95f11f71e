#include "framework/dialog.h"

#include "framework/win_app.h"

#include <cerrno>
#include <climits>
#include <cwchar>

namespace {

// "%d" as the exchange reads it: blanks around one decimal integer, nothing else.
bool ParseInt(const std::wstring& text, int& value) {
    const wchar_t* p = text.c_str();
    while (*p == L' ' || *p == L'\t')
        ++p;
    if (!*p)
        return false;
    wchar_t* end = nullptr;
    errno = 0;
    const long long v = std::wcstoll(p, &end, 10);
    if (end == p || errno == ERANGE || v < INT_MIN || v > INT_MAX)
        return false;
    while (*end == L' ' || *end == L'\t')
        ++end;
    if (*end)
        return false;
    value = static_cast<int>(v);
    return true;
}

std::wstring WindowText(HWND hwnd) {
    std::wstring text(static_cast<size_t>(::GetWindowTextLengthW(hwnd)) + 1, L'\0');
    const int n = ::GetWindowTextW(hwnd, text.data(), static_cast<int>(text.size()));
    text.resize(n > 0 ? static_cast<size_t>(n) : 0);
    return text;
}

} // namespace

void ExchangeText(CDataExchange* dx, int idc, std::wstring& value) {
    HWND control = dx->m_pDlgWnd->GetDlgItemHwnd(idc);
    if (!control || dx->m_bFailed)
        return;
    if (dx->m_bSaveAndValidate)
        value = WindowText(control);
    else if (WindowText(control) != value)
        ::SetWindowTextW(control, value.c_str());
}

// The number travels as its "%d" text; only the way back needs checking.
void ExchangeText(CDataExchange* dx, int idc, int& value) {
    std::wstring text = std::to_wstring(value);
    ExchangeText(dx, idc, text);
    HWND control = dx->m_pDlgWnd->GetDlgItemHwnd(idc);
    if (!dx->m_bSaveAndValidate || !control || dx->m_bFailed)
        return;
    int parsed = 0;
    if (ParseInt(text, parsed)) {
        value = parsed;
        return;
    }
    CWinApp* app = GetCurrentApp();
    ::MessageBoxW(dx->m_pDlgWnd->m_hWnd, L"Please enter an integer.",
                  app && !app->m_strAppName.empty() ? app->m_strAppName.c_str() : nullptr,
                  MB_OK | MB_ICONEXCLAMATION);
    ::SetFocus(control);
    ::SendMessageW(control, EM_SETSEL, 0, -1);
    dx->m_bFailed = true;
}

INT_PTR CDialog::DoModal() {
    if (m_hWnd)
        return -1;
    HWND owner = HwndOf(m_pParentWnd);
    if (CWinApp* app = GetCurrentApp(); !owner && app && app->m_pMainWnd != this)
        owner = HwndOf(app->m_pMainWnd);
    // A modal dialog disables its owner, which must be a top-level window.
    if (owner && (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD))
        owner = ::GetAncestor(owner, GA_ROOT);

    return ::DialogBoxParamW(GetAppInstance(), MAKEINTRESOURCEW(m_nTemplateId), owner, &DialogProc,
                             reinterpret_cast<LPARAM>(this));
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                     LPARAM lParam) noexcept {
    if (message == WM_INITDIALOG) {
        if (auto* dlg = reinterpret_cast<CDialog*>(lParam); dlg && !dlg->m_hWnd)
            dlg->Bind(hwnd);
    }
    // Messages before WM_INITDIALOG (WM_SETFONT) find no object yet.
    CWnd* dlg = BoundObject(hwnd);
    if (!dlg)
        return FALSE;
    bool leftToDialogManager = false;
    const LRESULT result = dlg->Dispatch(message, wParam, lParam, &leftToDialogManager);
    if (leftToDialogManager)
        return FALSE;
    // These answer in the dialog procedure's own result, the others in DWLP_MSGRESULT.
    if (message == WM_INITDIALOG || message == WM_QUERYDRAGICON || message == WM_COMPAREITEM ||
        message == WM_VKEYTOITEM || message == WM_CHARTOITEM ||
        (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC))
        return result;
    ::SetWindowLongPtrW(hwnd, DWLP_MSGRESULT, result);
    return TRUE;
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    if (!m_hWnd)
        return FALSE;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    return !dx.m_bFailed;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (UpdateData(TRUE))
        ::EndDialog(m_hWnd, IDOK);
}

void CDialog::OnCancel() {
    ::EndDialog(m_hWnd, IDCANCEL);
}
