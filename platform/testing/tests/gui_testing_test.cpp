// The harness itself: the recording prompter, the time limit that closes a
// stray modal window, and screenshots.
#include <windows.h>

#include <gtest/gtest.h>

#include "Dialog.h"
#include "GuiTest.h"
#include "Prompter.h"
#include "Text.h"

namespace {

using mbtest::CRecordingPrompter;

class Prompter : public mbtest::GuiTest {};

TEST_F(Prompter, RecordsEachTextWithTheProgramCaptionAndAnswersInTurn)
{
    mb::SetMessageCaption(L"MusicBridge");
    CRecordingPrompter prompter(IDOK);
    prompter.QueueAnswer(IDNO);
    prompter.QueueAnswer(IDYES);
    EXPECT_EQ(IDNO, mb::ShowMessage(nullptr, "first 100%", MB_YESNO | MB_ICONQUESTION));
    EXPECT_EQ(IDYES, mb::ShowMessageW(nullptr, L"second", MB_YESNO));
    EXPECT_EQ(IDOK, mb::ShowMessage(nullptr, "third"));
    ASSERT_EQ(3u, prompter.Count());
    auto records = prompter.Records();
    EXPECT_EQ("first 100%", prompter.Text(0));
    EXPECT_EQ(L"MusicBridge", records[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), records[0].type);
    EXPECT_EQ(L"second", records[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), records[2].type);
}

TEST_F(Prompter, AnswersQuestionsAskedOnWorkerThreads)
{
    CRecordingPrompter prompter(IDCANCEL);
    int answer = 0;
    mb::CWorkerThread worker;
    ASSERT_TRUE(worker.Start([&] { answer = mb::ShowMessage(nullptr, "from the worker", MB_OKCANCEL); }));
    worker.Join();
    EXPECT_EQ(IDCANCEL, answer);
    ASSERT_EQ(1u, prompter.Count());
    EXPECT_EQ("from the worker", prompter.Text(0));
}

TEST_F(Prompter, RemovingTheRecorderBringsBackThePreviousPrompter)
{
    CRecordingPrompter outer(IDYES);
    {
        CRecordingPrompter inner(IDNO);
        EXPECT_EQ(IDNO, mb::ShowMessage(nullptr, "inner"));
    }
    EXPECT_EQ(IDYES, mb::ShowMessage(nullptr, "outer"));
    EXPECT_EQ(1u, outer.Count());
}

TEST(TimeLimit, ClosesAStrayMessageBoxAndReportsExpiry)
{
    mbtest::CGuiTimeLimit limit(1500);
    DWORD start = ::GetTickCount();
    // A real box that nobody answers: the limit must end it.
    int r = ::MessageBoxW(nullptr, L"Nobody answers this", L"Stray", MB_OK);
    DWORD took = ::GetTickCount() - start;
    EXPECT_NE(0, r);
    EXPECT_TRUE(limit.Expired());
    EXPECT_GE(took, 1400u);
}

TEST(TimeLimit, DoesNotExpireForAQuickTest)
{
    mbtest::CGuiTimeLimit limit(5000);
    mbtest::PumpFor(50);
    EXPECT_FALSE(limit.Expired());
}

class Screenshot : public mbtest::GuiTest {};

uint32_t BigEndian32(const unsigned char* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

TEST_F(Screenshot, SavesThePngOfTheWindowRectangle)
{
    CDialog dlg(100);
    ASSERT_TRUE(dlg.Create());
    ASSERT_TRUE(dlg.SetWindowPos(nullptr, 40, 60, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    mbtest::PumpFor(100);
    RECT r = dlg.GetWindowRect();
    std::string path = mbtest::SaveScreenshot(dlg, "gui_testing_screenshot");
    ASSERT_FALSE(path.empty());

    HANDLE f = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    unsigned char head[24] = {};
    DWORD got = 0;
    ::ReadFile(f, head, sizeof head, &got, nullptr);
    DWORD size = ::GetFileSize(f, nullptr);
    ::CloseHandle(f);
    ASSERT_EQ(sizeof head, got);
    const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    EXPECT_EQ(0, memcmp(head, signature, 8));
    EXPECT_EQ(0, memcmp(head + 12, "IHDR", 4));
    EXPECT_EQ(uint32_t(r.right - r.left), BigEndian32(head + 16));
    EXPECT_EQ(uint32_t(r.bottom - r.top), BigEndian32(head + 20));
    EXPECT_GT(size, 100u);
    dlg.DestroyWindow();
}

TEST_F(Screenshot, GivesNothingForAWindowThatIsGone)
{
    EXPECT_EQ("", mbtest::SaveScreenshot(nullptr, "nothing"));
}

}  // namespace
