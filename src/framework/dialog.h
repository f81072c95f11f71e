// Modal dialogs from a template, with a small data exchange between controls and
// members.
#pragma once

#include "framework/wnd.h"

#include <string>

class CDialog;

// One exchange between a dialog's controls and its members.
class CDataExchange {
  public:
    CDataExchange(CWnd* dlgWnd, BOOL saveAndValidate) noexcept
        : m_pDlgWnd(dlgWnd), m_bSaveAndValidate(saveAndValidate) {}

    CWnd* m_pDlgWnd;
    BOOL m_bSaveAndValidate; // TRUE: controls -> members; FALSE: members -> controls
    int m_idLastControl = 0;

    // Gives up the exchange: focus goes to the last control, UpdateData returns FALSE.
    [[noreturn]] void Fail();
};

// Text as it stands.
void ExchangeText(CDataExchange* dx, int idc, std::wstring& value);
// A decimal integer ("%d"). Bad text shows "Please enter an integer." and fails.
void ExchangeText(CDataExchange* dx, int idc, int& value);

class CDialog : public CWnd {
  public:
    // templateId: a DIALOG resource of the program's module. parent null: the
    // application's main window (if it has a window) becomes the owner.
    explicit CDialog(UINT templateId, CWnd* parent = nullptr) noexcept
        : m_nTemplateId(templateId), m_pParentWnd(parent) {}
    // A template in memory instead of a resource (it must outlive DoModal).
    CDialog(const DLGTEMPLATE* templateInMemory, CWnd* parent = nullptr) noexcept
        : m_pTemplate(templateInMemory), m_pParentWnd(parent) {}

    // Runs the dialog modally; the EndDialog result, or -1 when it could not be made.
    virtual INT_PTR DoModal();
    BOOL UpdateData(BOOL saveAndValidate = TRUE);
    void EndDialog(int result) noexcept;

    UINT m_nTemplateId = 0; // the template id
    const DLGTEMPLATE* m_pTemplate = nullptr;
    CWnd* m_pParentWnd;

  protected:
    // Exchanges the members towards the controls; return TRUE to let the system set the
    // focus.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange*) {}
    // Exchange from the controls, then EndDialog(IDOK) when that succeeded.
    virtual void OnOK();
    virtual void OnCancel();

    // Routes WM_INITDIALOG to OnInitDialog and the commands IDOK / IDCANCEL to OnOK /
    // OnCancel.
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;
    bool QuitsWhenMainWindowDestroyed() const noexcept override { return false; }

  private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam,
                                       LPARAM lParam) noexcept;
};
