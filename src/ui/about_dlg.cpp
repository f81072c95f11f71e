#include "ui/about_dlg.h"

#include "res/resource.h"

CAboutDlg::CAboutDlg() noexcept : CDialog(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    CenterWindow();
    return TRUE; // focus to the first tab stop, the OK button
}
