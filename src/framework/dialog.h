// Modal dialogs from a template resource, with a small data exchange between
// controls and members.
#pragma once

#include "framework/wnd.h"

#include <string>

// One exchange between a dialog's controls and its members.
class CDataExchange {
  public:
    CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) noexcept
        : m_pDlgWnd(dlgWnd), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate; // TRUE: controls -> members; FALSE: members -> controls
    // Set by the first exchange that fails: the rest are skipped, UpdateData says FALSE.
    bool m_bFailed = false;
};

// Text as it stands; a control is only written when its text differs.
void ExchangeText(CDataExchange* dx, int idc, std::wstring& value);
// A decimal integer ("%d"). Bad text shows "Please enter an integer.", puts the focus
// on the control and fails the exchange.
void ExchangeText(CDataExchange* dx, int idc, int& value);

class CDialog : public CWnd {
  public:
    // templateId: a DIALOG resource of the program's module. parent null: the
    // application's main window, when it is another window, becomes the owner.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) noexcept
        : m_nTemplateId(templateId), m_pParentWnd(parent) {}

    // Runs the dialog modally; the EndDialog result, or -1 when it could not be made.
    INT_PTR DoModal();
    BOOL UpdateData(BOOL saveAndValidate);

  protected:
    // Exchanges the members towards the controls; return TRUE to let the system set the
    // focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    // Exchange from the controls, then EndDialog(IDOK) when that succeeded.
    void OnOK();
    void OnCancel();

    // Routes WM_INITDIALOG to OnInitDialog and the commands IDOK / IDCANCEL to OnOK /
    // OnCancel.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool QuitsWhenMainWindowDestroyed() const noexcept override { return false; }

  private:
    // Binds the object at WM_INITDIALOG (DoModal passes it as the parameter) and gives
    // it every message from then on; what WindowProc leaves to Default() goes to the
    // dialog manager.
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;

    UINT m_nTemplateId;
    CWnd* m_pParentWnd;
};
