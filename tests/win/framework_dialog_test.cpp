#include "framework/dialog.h"
#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The dialog of framework_dialog.rc and its two edit controls.
constexpr UINT kDialog = 900;
constexpr int kIdText = 101;
constexpr int kIdNumber = 102;

// Closes the message boxes that the exchange shows, noting their texts.
std::vector<std::wstring> g_messages;
HWND g_dialog = nullptr;

BOOL CALLBACK CollectText(HWND child, LPARAM lParam) {
    wchar_t text[256] = {};
    ::GetWindowTextW(child, text, 256);
    if (std::wstring(text) == L"Please enter an integer.")
        *reinterpret_cast<bool*>(lParam) = true;
    return TRUE;
}

// Closes a message box as soon as it is activated.
LRESULT CALLBACK CloseMessageBox(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        HWND hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t cls[32] = {};
        ::GetClassNameW(hwnd, cls, 32);
        if (hwnd != g_dialog && std::wstring(cls) == L"#32770") {
            bool found = false;
            ::EnumChildWindows(hwnd, CollectText, reinterpret_cast<LPARAM>(&found));
            g_messages.push_back(found ? L"Please enter an integer." : L"?");
            ::PostMessageW(hwnd, WM_COMMAND, IDOK, 0);
        }
    }
    return ::CallNextHookEx(nullptr, code, wParam, lParam);
}

class CExchangeDlg : public CDialog {
  public:
    CExchangeDlg() : CDialog(kDialog) {}

    std::wstring m_strText = L"hello";
    int m_nNumber = 5;

    // Filled while the dialog runs.
    std::wstring m_textAfterInit, m_numberAfterInit;
    int m_setTextCount[3] = {};
    std::vector<BOOL> m_badResults;
    // What senders got from handlers: through DWLP_MSGRESULT, and as the procedure's
    // own result.
    LRESULT m_appAnswer = 0, m_dragIconAnswer = 0;
    bool m_stillOpenAfterBadInput = false;
    HWND m_focusAfterBadInput = nullptr;
    HWND m_numberHwnd = nullptr;
    int m_endWith = IDOK; // how the script ends the dialog

  protected:
    void DoDataExchange(CDataExchange* dx) override {
        ExchangeText(dx, kIdText, m_strText);
        ExchangeText(dx, kIdNumber, m_nNumber);
    }

    BOOL OnInitDialog() override {
        m_counter.Watch(GetDlgItemHwnd(kIdNumber));
        m_numberHwnd = GetDlgItemHwnd(kIdNumber);
        CDialog::OnInitDialog();
        m_textAfterInit = Text(kIdText);
        m_numberAfterInit = Text(kIdNumber);
        m_setTextCount[0] = m_counter.m_count;
        UpdateData(FALSE); // same values: the control is not written again
        m_setTextCount[1] = m_counter.m_count;
        PostMessage(WM_APP);
        return TRUE;
    }

    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_APP) {
            RunScript();
            return 0;
        }
        if (message == WM_APP + 1 || message == WM_QUERYDRAGICON)
            return 42;
        return CDialog::WindowProc(message, wParam, lParam);
    }

  private:
    std::wstring Text(int id) const {
        wchar_t text[64] = {};
        ::GetDlgItemTextW(m_hWnd, id, text, 64);
        return text;
    }

    void RunScript() {
        if (m_endWith == IDCANCEL) {
            ::SetDlgItemTextW(m_hWnd, kIdNumber, L"123");
            SendMessage(WM_CLOSE); // the dialog manager turns this into IDCANCEL
            return;
        }
        m_appAnswer = SendMessage(WM_APP + 1);
        m_dragIconAnswer = SendMessage(WM_QUERYDRAGICON);
        m_nNumber = 6;
        UpdateData(FALSE);
        m_setTextCount[2] = m_counter.m_count;

        g_dialog = m_hWnd;
        HHOOK hook = ::SetWindowsHookExW(WH_CBT, CloseMessageBox, nullptr, ::GetCurrentThreadId());
        for (const wchar_t* bad : {L"12abc", L"", L"99999999999"}) {
            ::SetDlgItemTextW(m_hWnd, kIdNumber, bad);
            m_badResults.push_back(UpdateData(TRUE));
        }
        ::SetDlgItemTextW(m_hWnd, kIdNumber, L"1 2");
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
        ::UnhookWindowsHookEx(hook);
        m_stillOpenAfterBadInput = ::IsWindow(m_hWnd) != FALSE;
        m_focusAfterBadInput = ::GetFocus();

        ::SetDlgItemTextW(m_hWnd, kIdText, L"world");
        ::SetDlgItemTextW(m_hWnd, kIdNumber, L"  -17 ");
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    }

    // Counts the WM_SETTEXT messages a control receives.
    struct CCounter {
        int m_count = 0;
        WNDPROC m_pfnControlProc = nullptr;

        void Watch(HWND control) {
            ::SetPropW(control, kCounterProp, this);
            m_pfnControlProc = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&Proc)));
        }
        static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
            auto* self = static_cast<CCounter*>(::GetPropW(hwnd, kCounterProp));
            if (message == WM_SETTEXT)
                ++self->m_count;
            if (message == WM_NCDESTROY)
                ::RemovePropW(hwnd, kCounterProp);
            return ::CallWindowProcW(self->m_pfnControlProc, hwnd, message, wParam, lParam);
        }
        static constexpr wchar_t kCounterProp[] = L"RilloSetTextCounter";
    };
    CCounter m_counter;
};

} // namespace

TEST(FrameworkDialog, ExchangeBothWaysAndRejectBadIntegers) {
    CExchangeDlg dlg;
    g_messages.clear();
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_hWnd, nullptr);

    EXPECT_EQ(dlg.m_textAfterInit, L"hello");
    EXPECT_EQ(dlg.m_numberAfterInit, L"5");
    EXPECT_EQ(dlg.m_setTextCount[0], 1);
    EXPECT_EQ(dlg.m_setTextCount[1], 1); // unchanged text is not written again
    EXPECT_EQ(dlg.m_setTextCount[2], 2);
    EXPECT_EQ(dlg.m_appAnswer, 42);
    EXPECT_EQ(dlg.m_dragIconAnswer, 42);

    EXPECT_EQ(dlg.m_badResults, (std::vector<BOOL>{FALSE, FALSE, FALSE}));
    ASSERT_EQ(g_messages.size(), 4u); // three UpdateData calls and one OK
    for (const auto& m : g_messages)
        EXPECT_EQ(m, L"Please enter an integer.");
    EXPECT_TRUE(dlg.m_stillOpenAfterBadInput);
    EXPECT_EQ(dlg.m_focusAfterBadInput, dlg.m_numberHwnd);

    EXPECT_EQ(dlg.m_strText, L"world");
    EXPECT_EQ(dlg.m_nNumber, -17);
}

TEST(FrameworkDialog, CloseEndsWithCancelWithoutExchange) {
    CExchangeDlg dlg;
    dlg.m_endWith = IDCANCEL;
    EXPECT_EQ(dlg.DoModal(), IDCANCEL);
    EXPECT_EQ(dlg.m_nNumber, 5);
    EXPECT_EQ(dlg.m_strText, L"hello");
}

TEST(FrameworkDialog, MissingTemplateFails) {
    CDialog dlg(UINT(4242));
    EXPECT_EQ(dlg.DoModal(), -1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}
