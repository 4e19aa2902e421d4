#include "MessageBoxes.h"
#include "Prompter.h"
#include "qv/QvTextTable.h"
#include "../win/resource.h"
#include <algorithm>
#include <vector>

namespace {
CQvBoxPresenter* g_presenter = nullptr;
CErrorTextTable* g_texts = nullptr;

std::wstring Caption(int kind)
{
    int id = kind == QV_BOX_ERROR ? 67 : kind == QV_BOX_INFORMATION ? 69 : kind == QV_BOX_WARNING ? 68
           : kind == QV_BOX_OPTION ? 70 : 0;
    return id && g_texts ? g_texts->Text(id) : std::wstring();
}

int RealBox(int kind, const std::wstring& main, const std::wstring& details, HWND parent)
{
    if (!details.empty()) {
        CQvMessageBox box(kind, main, details, Caption(kind), parent);
        return int(box.DoModal());
    }
    UINT type = MB_OK;
    switch (kind) {
    case QV_BOX_ERROR: type = MB_OK | MB_ICONERROR; break;
    case QV_BOX_INFORMATION: type = MB_OK | MB_ICONINFORMATION; break;
    case QV_BOX_WARNING: type = MB_OK | MB_ICONWARNING; break;
    case QV_BOX_OPTION: type = MB_YESNO | MB_ICONQUESTION; break;
    default: break;
    }
    return mb::ShowMessageW(parent, main, Caption(kind), type);
}

std::vector<std::wstring> Lines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (;;) {
        size_t end = text.find(L'\n', start);
        lines.push_back(text.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
        if (end == std::wstring::npos)
            break;
        start = end + 1;
    }
    return lines;
}
} // namespace

CQvBoxPresenter* QvSetBoxPresenter(CQvBoxPresenter* presenter)
{
    CQvBoxPresenter* previous = g_presenter;
    g_presenter = presenter;
    return previous;
}

void QvSetBoxTexts(CErrorTextTable* texts) { g_texts = texts; }

int QvSimpleBox(int kind, const std::wstring& text, HWND parent)
{
    if (g_presenter)
        return g_presenter->Show(kind, text, std::wstring(), parent);
    return RealBox(kind, text, std::wstring(), parent);
}

int QvDetailBox(int kind, const std::wstring& main, const std::wstring& details, HWND parent)
{
    if (g_presenter)
        return g_presenter->Show(kind, main, details, parent);
    return RealBox(kind, main, details, parent);
}

MB_BEGIN_MESSAGE_MAP(CQvMessageBox, CDialog)
    mb::OnCommand(IDYES, &CQvMessageBox::OnYes),
    mb::OnCommand(IDNO, &CQvMessageBox::OnNo),
    mb::OnCommand(1009, &CQvMessageBox::OnExpand),
    mb::OnCommand(1008, &CQvMessageBox::OnCollapse),
MB_END_MESSAGE_MAP()

CQvMessageBox::CQvMessageBox(int kind, const std::wstring& main, const std::wstring& details,
                             const std::wstring& caption, HWND parent)
    : CDialog(IDD_QV_MESSAGE, parent), m_main(main), m_details(details), m_caption(caption), m_kind(kind) {}

void CQvMessageBox::OnCancel()
{
    // Escape and the close box answer as the box's own way out: No for a
    // question, OK otherwise.
    EndDialog(m_kind == QV_BOX_OPTION ? IDNO : IDOK);
}

SIZE CQvMessageBox::Measure(const std::wstring& text, int maxWidth) const
{
    SIZE total = {0, 0};
    HDC dc = GetDC(m_hWnd);
    HGDIOBJ old = SelectObject(dc, GetFont());
    for (std::wstring line : Lines(text)) {
        // Tabs leave the text and become tab stops at their positions.
        std::vector<INT> stops;
        std::wstring plain;
        for (wchar_t c : line) {
            if (c == L'\t')
                stops.push_back(INT(plain.size()));
            else
                plain += c;
        }
        DWORD extent = GetTabbedTextExtentW(dc, plain.empty() ? L" " : plain.c_str(), INT(std::max<size_t>(plain.size(), 1)),
                                            INT(stops.size()), stops.empty() ? nullptr : stops.data());
        int width = LOWORD(extent), height = HIWORD(extent);
        if (width > maxWidth && maxWidth > 0) {
            int pieces = (width + maxWidth - 1) / maxWidth;
            width = maxWidth;
            height *= pieces;
        }
        total.cx = std::max<LONG>(total.cx, width);
        total.cy += height;
    }
    SelectObject(dc, old);
    ReleaseDC(m_hWnd, dc);
    return total;
}

BOOL CQvMessageBox::OnInitDialog()
{
    if (g_texts) {
        SetItemTextW(IDOK, g_texts->Text(66));
        SetItemTextW(1009, g_texts->Text(63));
        SetItemTextW(1008, g_texts->Text(62));
        SetItemTextW(IDYES, g_texts->Text(64));
        SetItemTextW(IDNO, g_texts->Text(65));
    }
    int screenWidth = GetSystemMetrics(SM_CXSCREEN);
    RECT iconRect = GetChildRect(1000);
    int iconW = iconRect.right - iconRect.left, iconH = iconRect.bottom - iconRect.top;
    if (iconW < 32) iconW = 32;
    if (iconH < 32) iconH = 32;
    int wrap = screenWidth / 5 * 3 - (iconW + 45);
    m_mainSize = Measure(m_main, wrap);
    m_detailsSize = Measure(m_details, wrap);
    SIZE one = Measure(L"W", 0);

    ::MoveWindow(GetDlgItem(1000), 15, 15, iconW, iconH, FALSE);
    int mainX = 15 + iconW + 15, mainY = 15;
    if (m_mainSize.cy == one.cy)
        mainY = (iconH - m_mainSize.cy) / 2 + 15;
    ::MoveWindow(GetDlgItem(1001), mainX, mainY, m_mainSize.cx, m_mainSize.cy, FALSE);
    int bottom = std::max(15 + iconH, int(mainY + m_mainSize.cy));

    RECT ok = GetChildRect(IDOK);
    int bw = ok.right - ok.left, bh = ok.bottom - ok.top;
    bool hasDetails = !m_details.empty();
    std::vector<UINT> row;
    if (m_kind == QV_BOX_OPTION)
        row = {IDYES, IDNO};
    else
        row = {IDOK};
    if (hasDetails) {
        row.push_back(1009);
        row.push_back(1008);
    }
    int visible = int(row.size()) - (hasDetails ? 1 : 0); // the two details buttons share a place
    int width = std::max({visible * (bw + 4) + 26, int(mainX + m_mainSize.cx + 15), int(m_detailsSize.cx + 30)});
    int x = (width - visible * (bw + 4) + 4) / 2;
    int y = bottom + 15;
    for (UINT id : {UINT(IDOK), UINT(IDYES), UINT(IDNO), 1008u, 1009u}) {
        bool used = std::find(row.begin(), row.end(), id) != row.end();
        ::EnableWindow(GetDlgItem(id), used);
        ::ShowWindow(GetDlgItem(id), SW_HIDE);
    }
    // The two details buttons take turns in one place of the row.
    int detailsX = x;
    for (UINT id : row) {
        if (id == 1009)
            detailsX = x;
        ::MoveWindow(GetDlgItem(id), id == 1008 ? detailsX : x, y, bw, bh, FALSE);
        if (id != 1008) {
            x += bw + 4;
            ::ShowWindow(GetDlgItem(id), SW_SHOW);
        }
    }
    int markerY = bottom + bh + 30;
    ::MoveWindow(GetDlgItem(1013), 0, markerY, width, 1, FALSE);
    ::MoveWindow(GetDlgItem(1010), 15, bottom + bh + 46, m_detailsSize.cx, m_detailsSize.cy, FALSE);
    ::ShowWindow(GetDlgItem(1013), hasDetails ? SW_SHOW : SW_HIDE);

    RECT client = {0, 0, width, markerY + 1};
    AdjustWindowRectEx(&client, DWORD(GetStyle()), FALSE, DWORD(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    m_collapsedHeight = client.bottom - client.top;
    RECT open = {0, 0, width, bottom + bh + 46 + m_detailsSize.cy + 15};
    AdjustWindowRectEx(&open, DWORD(GetStyle()), FALSE, DWORD(GetWindowLongPtrW(m_hWnd, GWL_EXSTYLE)));
    m_expandedHeight = open.bottom - open.top;
    SetWindowPos(nullptr, 0, 0, client.right - client.left, m_collapsedHeight, SWP_NOMOVE | SWP_NOZORDER);

    // The system icons by number: IDI_* follow the includer's UNICODE define.
    const WORD iconId = m_kind == QV_BOX_INFORMATION ? 32516 : m_kind == QV_BOX_WARNING ? 32515
                      : m_kind == QV_BOX_OPTION ? 32514 : 32513;
    LPCWSTR icon = MAKEINTRESOURCEW(iconId);
    ::SendDlgItemMessageW(m_hWnd, 1000, STM_SETICON, WPARAM(LoadIconW(nullptr, icon)), 0);
    SetTextW(m_caption);
    SetItemTextW(1001, m_main);
    SetItemTextW(1010, m_details);
    // Centre on the screen (or the owner) now that the size is known.
    RECT r = GetWindowRect();
    int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    SetWindowPos(nullptr, (sw - (r.right - r.left)) / 2, (sh - (r.bottom - r.top)) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER);
    return TRUE;
}

void CQvMessageBox::Expand(bool open)
{
    RECT r = GetWindowRect();
    SetWindowPos(nullptr, 0, 0, r.right - r.left, open ? m_expandedHeight : m_collapsedHeight,
                 SWP_NOMOVE | SWP_NOZORDER);
    ::ShowWindow(GetDlgItem(1009), open ? SW_HIDE : SW_SHOW);
    ::ShowWindow(GetDlgItem(1008), open ? SW_SHOW : SW_HIDE);
    ::SetFocus(GetDlgItem(open ? 1008 : 1009));
}
