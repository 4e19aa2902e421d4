// The manager's progress window in a dialog: with the control registered it
// creates, drives and listens to it; without it the dialog runs on with an
// empty bar. Each variant runs in a prefix of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Dialog.h"
#include "Dispatch.h"
#include "GuiTest.h"
#include "ProgressCtl.h"
#include "resource.h"

namespace {

std::wstring ExeFolder()
{
    wchar_t path[MAX_PATH * 4] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH * 4);
    std::wstring p(path);
    return p.substr(0, p.find_last_of(L"\\/") + 1);
}

// Registers the control, or makes sure it is not registered, in this test's
// own prefix.
class HostEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        HMODULE module = LoadLibraryW((ExeFolder() + L"Progress.dll").c_str());
        ASSERT_NE(nullptr, module);
        auto entry = reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(
            GetProcAddress(module, MB_CONTROL_REGISTERED ? "DllRegisterServer" : "DllUnregisterServer")));
        ASSERT_NE(nullptr, entry);
        ASSERT_EQ(S_OK, entry());
        FreeLibrary(module);
    }
    void TearDown() override { OleUninitialize(); }
};
const auto* const kEnvironment = ::testing::AddGlobalTestEnvironment(new HostEnvironment);

class CHostDlg : public CDialog {
public:
    CHostDlg() : CDialog(IDD_HOST) {}
    BOOL OnInitDialog() override
    {
        m_created = m_progress.CreateInPlaceOf(m_hWnd, IDC_PROGRESS);
        m_progress.SetMousePosHandler([this](long segment) { m_events.push_back(segment); });
        // What the manager does at start.
        m_progress.SetPos(0, 0);
        return TRUE;
    }
    void OnGo()
    {
        ++m_goClicks;
        m_progress.SetRange(0, 100);
        m_progress.SetPos(0, 50);
        SetItemTextW(IDC_NOTE, L"Halfway");
    }
    MB_DECLARE_MESSAGE_MAP()

public:

    CProgressCtl m_progress;
    bool m_created = false;
    int m_goClicks = 0;
    std::vector<long> m_events;
};

MB_BEGIN_MESSAGE_MAP(CHostDlg, CDialog)
    mb::OnCommand(IDC_GO, &CHostDlg::OnGo),
MB_END_MESSAGE_MAP()

#if MB_CONTROL_REGISTERED
long GetPos(CProgressCtl& ctl, short segment)
{
    VARIANT r;
    VariantInit(&r);
    EXPECT_EQ(S_OK, mbcom::InvokeByDispid(ctl.GetControlDispatch(), 4, DISPATCH_METHOD, {mbcom::MakeI2(segment)}, &r));
    return r.lVal;
}
#endif

}  // namespace

class ProgressHost : public mbtest::GuiTest {};

#if MB_CONTROL_REGISTERED

TEST_F(ProgressHost, CreatesTheControlInPlaceOfThePlaceholder)
{
    CHostDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_created);
    EXPECT_TRUE(dlg.m_progress.HasControl());
    EXPECT_EQ(dlg.m_progress.m_hWnd, dlg.GetDlgItem(IDC_PROGRESS));
    HWND control = dlg.m_progress.GetControlWindow();
    ASSERT_NE(nullptr, control);
    EXPECT_EQ(dlg.m_progress.m_hWnd, GetParent(control));
    EXPECT_TRUE(IsWindowVisible(control));
    // The control fills its window and follows its size.
    RECT host = dlg.m_progress.GetClientRect();
    RECT inner{};
    GetClientRect(control, &inner);
    EXPECT_EQ(host.right, inner.right);
    EXPECT_EQ(host.bottom, inner.bottom);
    RECT r = dlg.GetChildRect(IDC_PROGRESS);
    dlg.m_progress.MoveWindow(RECT{r.left, r.top, r.left + 374, r.top + 14});
    GetClientRect(control, &inner);
    EXPECT_EQ(374, inner.right);
    EXPECT_EQ(14, inner.bottom);
    dlg.DestroyWindow();
    EXPECT_FALSE(dlg.m_progress.HasControl());
}

TEST_F(ProgressHost, DrivesTheBarAndHearsTheMouse)
{
    CHostDlg dlg;
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.m_created);
    RECT r = dlg.GetChildRect(IDC_PROGRESS);
    dlg.m_progress.MoveWindow(RECT{r.left, r.top, r.left + 374, r.top + 14});
    HWND control = dlg.m_progress.GetControlWindow();
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    EXPECT_EQ(0, GetPos(dlg.m_progress, 0));

    mbtest::Click(dlg, IDC_GO);
    EXPECT_EQ(1, dlg.m_goClicks);
    EXPECT_EQ(50, GetPos(dlg.m_progress, 0));
    VARIANT range;
    VariantInit(&range);
    EXPECT_EQ(S_OK, mbcom::InvokeByDispid(dlg.m_progress.GetControlDispatch(), 6, DISPATCH_METHOD, {}, &range));
    EXPECT_EQ(100, range.lVal);

    PostMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(90, 7));
    PostMessageW(control, WM_MOUSEMOVE, 0, MAKELPARAM(250, 7));
    EXPECT_TRUE(mbtest::PumpUntil([&] { return dlg.m_events.size() >= 2; }));
    EXPECT_EQ((std::vector<long>{0, -1}), dlg.m_events);
    RedrawWindow(control, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    mbtest::SaveScreenshot(dlg, "progress_host_halfway");
    dlg.DestroyWindow();
}

TEST_F(ProgressHost, CreateAtARectangle)
{
    CHostDlg dlg;
    ASSERT_TRUE(dlg.Create());
    CProgressCtl extra;
    ASSERT_TRUE(extra.Create(WS_VISIBLE, RECT{10, 100, 384, 114}, dlg, 1300));
    EXPECT_EQ(extra.m_hWnd, dlg.GetDlgItem(1300));
    extra.SetRange(0, 10);
    extra.SetPos(1, 20);
    EXPECT_EQ(10, GetPos(extra, 1));
    // Closing the dialog takes the control with it and ends no message loop.
    dlg.DestroyWindow();
    EXPECT_FALSE(extra.HasControl());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

#else

TEST_F(ProgressHost, RunsOnWithoutTheControl)
{
    CLSID clsid{};
    ASSERT_NE(S_OK, CLSIDFromProgID(L"Progress.ProgressCtl", &clsid)) << "the control is registered here";
    CHostDlg dlg;
    ASSERT_TRUE(dlg.Create());
    EXPECT_FALSE(dlg.m_created);
    EXPECT_FALSE(dlg.m_progress.HasControl());
    EXPECT_EQ(nullptr, dlg.m_progress.GetControlDispatch());
    EXPECT_EQ(nullptr, dlg.m_progress.GetControlWindow());
    // The empty window keeps the placeholder's place.
    EXPECT_EQ(dlg.m_progress.m_hWnd, dlg.GetDlgItem(IDC_PROGRESS));
    // Driving the missing bar does nothing, and the dialog goes on working.
    mbtest::Click(dlg, IDC_GO);
    mbtest::Click(dlg, IDC_GO);
    EXPECT_EQ(2, dlg.m_goClicks);
    EXPECT_EQ(L"Halfway", mbtest::ItemText(dlg, IDC_NOTE));
    mbtest::PumpFor(100);
    EXPECT_TRUE(IsWindow(dlg));
    mbtest::SaveScreenshot(dlg, "progress_host_without_control");
    dlg.DestroyWindow();
}

#endif
