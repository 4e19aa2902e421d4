// The overwrite question driven as a user would: its text, each answer, and
// the title-bar close.
#include <windows.h>

#include <gtest/gtest.h>

#include "GuiTest.h"
#include "OverwriteDlg.h"

namespace {

// A busy machine (eight Wine programs at once) can take seconds per dialog,
// so the limit is wider than the harness's usual one.
class OverwriteQuestion : public ::testing::Test {
protected:
    void TearDown() override { EXPECT_FALSE(m_limit.Expired()) << "the test ran past its time limit"; }
    mbtest::CGuiTimeLimit m_limit{90000};

    // Runs the dialog on its own thread (as the engine's worker does), lets
    // drive() answer it, and returns the dialog's result and DoModal's.
    std::pair<int, INT_PTR> Run(const std::string& name, const std::function<void(HWND)>& drive,
                                std::wstring* question = nullptr)
    {
        COverwriteDlg dlg;
        dlg.SetFileName(name);
        INT_PTR modal = -2;
        mbtest::CBackgroundRun run([&] { modal = dlg.DoModal(); });
        HWND h = mbtest::WaitForWindow(L"Overwrite", 30000);
        EXPECT_NE(nullptr, h);
        if (h) {
            if (question)
                *question = mbtest::ItemText(h, IDC_OVERWRITE_QUESTION);
            drive(h);
        }
        EXPECT_TRUE(run.Finish(30000));
        return {dlg.m_result, modal};
    }
};

TEST_F(OverwriteQuestion, AsksAboutTheFileByName)
{
    std::wstring question;
    Run("Track 01.mp3", [](HWND h) {
        EXPECT_EQ(L"Yes", mbtest::ItemText(h, IDC_OVERWRITE_YES));
        EXPECT_EQ(L"Yes to All", mbtest::ItemText(h, IDC_OVERWRITE_YES_ALL));
        EXPECT_EQ(L"No", mbtest::ItemText(h, IDC_OVERWRITE_NO));
        EXPECT_EQ(L"Cancel", mbtest::ItemText(h, IDCANCEL));
        mbtest::SaveScreenshot(h, "overwrite_question");
        mbtest::Click(h, IDC_OVERWRITE_NO);
    }, &question);
    EXPECT_EQ(L"'Track 01.mp3' already exists. Do you want to overwrite it?", question);
}

TEST_F(OverwriteQuestion, AFileNameWithPercentSignsIsShownLiterally)
{
    std::wstring question;
    Run("100%s %d %n&more.mp3", [](HWND h) { mbtest::Click(h, IDCANCEL); }, &question);
    EXPECT_EQ(L"'100%s %d %n&more.mp3' already exists. Do you want to overwrite it?", question);
}

TEST_F(OverwriteQuestion, EachButtonGivesItsAnswer)
{
    EXPECT_EQ(std::make_pair(0, INT_PTR(IDOK)), Run("a", [](HWND h) { mbtest::Click(h, IDC_OVERWRITE_YES); }));
    EXPECT_EQ(std::make_pair(1, INT_PTR(IDOK)), Run("a", [](HWND h) { mbtest::Click(h, IDC_OVERWRITE_YES_ALL); }));
    EXPECT_EQ(std::make_pair(2, INT_PTR(IDOK)), Run("a", [](HWND h) { mbtest::Click(h, IDC_OVERWRITE_NO); }));
    EXPECT_EQ(std::make_pair(3, INT_PTR(IDCANCEL)), Run("a", [](HWND h) { mbtest::Click(h, IDCANCEL); }));
}

TEST_F(OverwriteQuestion, ClosingFromTheTitleBarIsCancel)
{
    EXPECT_EQ(3, Run("a", [](HWND h) { ::PostMessageW(h, WM_SYSCOMMAND, SC_CLOSE, 0); }).first);
    EXPECT_EQ(3, Run("a", [](HWND h) { ::PostMessageW(h, WM_CLOSE, 0, 0); }).first);
}

TEST_F(OverwriteQuestion, EscapeIsCancelAndEnterIsYes)
{
    EXPECT_EQ(3, Run("a", [](HWND h) { mbtest::PostKey(::GetDlgItem(h, IDC_OVERWRITE_YES), VK_ESCAPE); }).first);
    EXPECT_EQ(0, Run("a", [](HWND h) { mbtest::PostKey(::GetDlgItem(h, IDC_OVERWRITE_YES), VK_RETURN); }).first);
}

TEST_F(OverwriteQuestion, TheEngineAskerReturnsTheAnswerAndDisablesTheOwnerMeanwhile)
{
    HWND owner = ::CreateWindowExW(0, L"STATIC", L"owner", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50, nullptr, nullptr,
                                   nullptr, nullptr);
    ASSERT_NE(nullptr, owner);
    int answer = -1;
    COverwriteQuestion asker(owner);
    mbtest::CBackgroundRun run([&] { answer = asker.AskOverwrite("x.mp3"); });
    HWND h = mbtest::WaitForWindow(L"Overwrite", 30000);
    ASSERT_NE(nullptr, h);
    EXPECT_FALSE(::IsWindowEnabled(owner));
    mbtest::Click(h, IDC_OVERWRITE_YES_ALL);
    EXPECT_TRUE(run.Finish(30000));
    EXPECT_EQ(1, answer);
    EXPECT_TRUE(::IsWindowEnabled(owner));
    ::DestroyWindow(owner);
}

}  // namespace
