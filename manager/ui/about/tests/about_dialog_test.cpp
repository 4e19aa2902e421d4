// The About box as the user sees it: the skin's version and text.
#include <windows.h>

#include <gtest/gtest.h>

#include "AboutDlg.h"
#include "GuiTest.h"
#include "Text.h"

class AboutBox : public mbtest::GuiTest {};

TEST_F(AboutBox, ShowsTheSkinVersionAndText)
{
    struct Case {
        int x, y;
        const char* version;
    } cases[] = {{1, 30, "(Version 1.03)"}, {1, 100, "(Version 1.1)"}, {1, 120, "(Version 1.12)"}};
    for (const Case& c : cases) {
        CAboutDlg about;
        about.SetSkinValues(c.x, c.y, "Vilo Music Bridge");
        about.m_imagesFolder = "Images\\";
        ASSERT_TRUE(about.Create());
        EXPECT_EQ(c.version, about.GetItemText(IDC_ABOUT_VERSION));
        EXPECT_EQ("Vilo Music Bridge", about.GetItemText(IDC_ABOUT_TEXT));
        EXPECT_EQ("About Vilo Music Bridge", about.GetText());
        if (c.y == 30) {
            about.ShowWindow(SW_SHOW);
            mbtest::SaveScreenshot(about, "about_box");
        }
        about.DestroyWindow();
    }
}

// F1 inside the box is answered, and OK ends it.
TEST_F(AboutBox, OkEndsTheModalBox)
{
    CAboutDlg about;
    about.SetSkinValues(2, 0, "text");
    INT_PTR result = 0;
    mbtest::CBackgroundRun run([&] { result = about.DoModal(); });
    HWND window = mbtest::WaitForWindow(L"About Vilo Music Bridge");
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(L"(Version 2.0)", mbtest::ItemText(window, IDC_ABOUT_VERSION));
    mbtest::Click(window, IDOK);
    EXPECT_TRUE(run.Finish());
    EXPECT_EQ(IDOK, result);
}
