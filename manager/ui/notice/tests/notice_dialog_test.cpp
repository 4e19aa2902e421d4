// The notice: modal with a display time it ends itself; modeless and owning
// itself it is destroyed and deleted when its timer runs out.
#include <windows.h>

#include <gtest/gtest.h>

#include "GuiTest.h"
#include "NoticeDlg.h"

class Notice : public mbtest::GuiTest {};

TEST_F(Notice, ModalNoticeEndsItselfAfterItsTime)
{
    CNoticeDlg notice;
    notice.SetText("Copied 3 files.", 300);
    INT_PTR result = 0;
    mbtest::CBackgroundRun run([&] { result = notice.DoModal(); });
    EXPECT_TRUE(run.Finish());
    EXPECT_EQ(IDOK, result);
    EXPECT_EQ(nullptr, notice.m_hWnd);
}

TEST_F(Notice, ModelessNoticeDestroysAndDeletesItself)
{
    const int before = CNoticeDlg::s_deleted;
    auto* notice = new CNoticeDlg;
    notice->SetText("Connecting your player...", 0);
    notice->SetSelfDeleting(true);
    ASSERT_TRUE(notice->Create(nullptr));
    HWND window = notice->m_hWnd;
    notice->ShowWindow(SW_SHOW);
    EXPECT_EQ(L"Connecting your player...", mbtest::ItemText(window, IDC_NOTICE_TEXT));
    mbtest::SaveScreenshot(window, "notice");
    // No display time: it stays until told.
    mbtest::PumpFor(300);
    ASSERT_TRUE(::IsWindow(window));
    EXPECT_EQ(before, CNoticeDlg::s_deleted);
    notice->SetTimer(2, 1);
    EXPECT_TRUE(mbtest::PumpUntil([&] { return !::IsWindow(window); }));
    EXPECT_EQ(before + 1, CNoticeDlg::s_deleted);
}
