// The updater's two message boxes: the platform's box with the caption and
// icon of a kind, and CQvMessageBox, which adds a details part the user can
// open. Both go through one presenter, which tests replace to read each box.
#pragma once
#include "Dialog.h"
#include "ErrorTextTable.h"
#include <string>

class CQvBoxPresenter {
public:
    virtual ~CQvBoxPresenter() = default;
    // kind: QvBoxKind. Returns the button pressed (IDOK, IDYES, IDNO).
    virtual int Show(int kind, const std::wstring& main, const std::wstring& details, HWND parent) = 0;
};

// Replaces the presenter; nullptr brings back the real boxes. Returns the
// previous one (nullptr for the real boxes).
CQvBoxPresenter* QvSetBoxPresenter(CQvBoxPresenter* presenter);
// The text source of the boxes' captions and buttons.
void QvSetBoxTexts(CErrorTextTable* texts);

int QvSimpleBox(int kind, const std::wstring& text, HWND parent);
// With details: CQvMessageBox; without: the simple box.
int QvDetailBox(int kind, const std::wstring& main, const std::wstring& details, HWND parent);

class CQvMessageBox : public CDialog {
public:
    CQvMessageBox(int kind, const std::wstring& main, const std::wstring& details, const std::wstring& caption,
                  HWND parent);
    BOOL OnInitDialog() override;
    void OnCancel() override;
    MB_DECLARE_MESSAGE_MAP()
    void OnYes() { EndDialog(IDYES); }
    void OnNo() { EndDialog(IDNO); }
    void OnExpand() { Expand(true); }
    void OnCollapse() { Expand(false); }

private:
    SIZE Measure(const std::wstring& text, int maxWidth) const;
    void Expand(bool open);

    std::wstring m_main, m_details, m_caption;
    int m_kind;
    SIZE m_mainSize = {0, 0};
    SIZE m_detailsSize = {0, 0};
    int m_collapsedHeight = 0;
    int m_expandedHeight = 0;
};
