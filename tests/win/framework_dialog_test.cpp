#include "framework/dialog.h"
#include "framework/win_app.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kIdText = 101;
constexpr int kIdNumber = 102;

// A dialog template in memory with two edit controls.
class DialogTemplate {
  public:
    DialogTemplate() {
        Dword(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT);
        Dword(0);
        m_words.push_back(2); // controls
        for (int v : {0, 0, 160, 60})
            m_words.push_back(WORD(v));
        m_words.push_back(0); // no menu
        m_words.push_back(0); // standard class
        Text(L"Exchange");
        m_words.push_back(8);
        Text(L"MS Shell Dlg");
        Edit(kIdText, 10);
        Edit(kIdNumber, 30);
    }
    const DLGTEMPLATE* get() const { return reinterpret_cast<const DLGTEMPLATE*>(m_words.data()); }

  private:
    void Dword(DWORD v) {
        m_words.push_back(LOWORD(v));
        m_words.push_back(HIWORD(v));
    }
    void Text(const wchar_t* s) {
        for (; *s; ++s)
            m_words.push_back(WORD(*s));
        m_words.push_back(0);
    }
    void Edit(int id, short y) {
        if (m_words.size() % 2)
            m_words.push_back(0); // DWORD alignment
        Dword(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
        Dword(0);
        for (int v : {10, int(y), 100, 14})
            m_words.push_back(WORD(v));
        m_words.push_back(WORD(id));
        m_words.push_back(0xFFFF);
        m_words.push_back(0x0081); // EDIT
        m_words.push_back(0);      // no text
        m_words.push_back(0);      // no creation data
    }
    std::vector<WORD> m_words;
};

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
    explicit CExchangeDlg(const DLGTEMPLATE* t) : CDialog(t) {}

    std::wstring m_strText = L"hello";
    int m_nNumber = 5;

    // Filled while the dialog runs.
    std::wstring m_textAfterInit, m_numberAfterInit;
    int m_setTextCount[3] = {};
    std::vector<BOOL> m_badResults;
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
        m_counter.SubclassWindow(GetDlgItemHwnd(kIdNumber));
        m_numberHwnd = GetDlgItemHwnd(kIdNumber);
        CDialog::OnInitDialog();
        m_textAfterInit = GetDlgItem(kIdText)->GetWindowText();
        m_numberAfterInit = GetDlgItem(kIdNumber)->GetWindowText();
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
        return CDialog::WindowProc(message, wParam, lParam);
    }

  private:
    void RunScript() {
        if (m_endWith == IDCANCEL) {
            GetDlgItem(kIdNumber)->SetWindowText(L"123");
            SendMessage(WM_CLOSE); // the dialog manager turns this into IDCANCEL
            return;
        }
        m_nNumber = 6;
        UpdateData(FALSE);
        m_setTextCount[2] = m_counter.m_count;

        g_dialog = m_hWnd;
        HHOOK hook = ::SetWindowsHookExW(WH_CBT, CloseMessageBox, nullptr, ::GetCurrentThreadId());
        for (const wchar_t* bad : {L"12abc", L"", L"99999999999"}) {
            GetDlgItem(kIdNumber)->SetWindowText(bad);
            m_badResults.push_back(UpdateData(TRUE));
        }
        GetDlgItem(kIdNumber)->SetWindowText(L"1 2");
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
        ::UnhookWindowsHookEx(hook);
        m_stillOpenAfterBadInput = ::IsWindow(m_hWnd) != FALSE;
        m_focusAfterBadInput = ::GetFocus();

        GetDlgItem(kIdText)->SetWindowText(L"world");
        GetDlgItem(kIdNumber)->SetWindowText(L"  -17 ");
        SendMessage(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED));
    }

    class CCounter : public CWnd {
      public:
        int m_count = 0;

      protected:
        LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override {
            if (message == WM_SETTEXT)
                ++m_count;
            return CWnd::WindowProc(message, wParam, lParam);
        }
    };
    CCounter m_counter;
};

} // namespace

TEST(FrameworkDialog, ExchangeBothWaysAndRejectBadIntegers) {
    DialogTemplate t;
    CExchangeDlg dlg(t.get());
    g_messages.clear();
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(dlg.m_hWnd, nullptr);

    EXPECT_EQ(dlg.m_textAfterInit, L"hello");
    EXPECT_EQ(dlg.m_numberAfterInit, L"5");
    EXPECT_EQ(dlg.m_setTextCount[0], 1);
    EXPECT_EQ(dlg.m_setTextCount[1], 1); // unchanged text is not written again
    EXPECT_EQ(dlg.m_setTextCount[2], 2);

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
    DialogTemplate t;
    CExchangeDlg dlg(t.get());
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
