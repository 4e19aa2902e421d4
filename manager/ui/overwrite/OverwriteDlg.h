// COverwriteDlg: the question the transfer engine asks on its worker when the
// file it is about to write already exists (template 313). The engine keeps
// "Yes to All" for the rest of its run; the dialog only hands back the answer.
#pragma once

#include <string>

#include "Dialog.h"
#include "TransferSink.h"
#include "TransferTypes.h"

enum : UINT {
    IDD_OVERWRITE = 313,
    IDC_OVERWRITE_QUESTION = 1171,
    IDC_OVERWRITE_YES_ALL = 1172,
    IDC_OVERWRITE_NO = 1173,
    IDC_OVERWRITE_YES = 1174,
};

class COverwriteDlg : public CDialog {
public:
    explicit COverwriteDlg(HWND owner = nullptr) : CDialog(IDD_OVERWRITE, owner) {}

    void SetFileName(const std::string& name) { m_fileName = name; }

    BOOL OnInitDialog() override;
    void OnOK() override { EndDialog(IDOK); }
    void OnCancel() override;

    MB_DECLARE_MESSAGE_MAP()
    void OnYes();
    void OnYesToAll();
    void OnNo();
    LRESULT OnClose(WPARAM, LPARAM);

public:
    std::string m_question;
    std::string m_fileName;
    // An OVERWRITE_ANSWER: 0 Yes, 1 Yes to All, 2 No, 3 Cancel.
    int m_result = OVERWRITE_CANCEL;
};

// The engine's overwrite question shown as COverwriteDlg, parented to owner.
class COverwriteQuestion : public COverwriteAsker {
public:
    explicit COverwriteQuestion(HWND owner = nullptr) : m_owner(owner) {}
    void SetOwner(HWND owner) { m_owner = owner; }
    int AskOverwrite(const std::string& fileName) override;

private:
    HWND m_owner;
};
