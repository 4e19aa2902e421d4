// The main dialog's FM preset button: refused without a player or without
// SETTINGS.DAT at the internal memory's root, else the dialog runs modally on
// that memory.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "GuiTest.h"
#include "ManagerDlg.h"

namespace {

const char kSettings[] = "J:\\SETTINGS.DAT";

class FmEntry : public mbtest::GuiTest {
protected:
    FmEntry() : mbtest::GuiTest(60000) {}
    bool Open(CManagerDlg& dlg)
    {
        if (!dlg.Create())
            return false;
        bool ready = mbtest::PumpUntil([&] { return dlg.m_listsNotReady == 0; }, 20000);
        for (UINT_PTR id : {1, 4, 12, 13})
            dlg.KillTimer(id);
        return ready && IsWindow(dlg.m_hWnd);
    }
    static void Press(CManagerDlg& dlg)
    {
        dlg.Post(WM_SKIN_BUTTON_CLICK, reinterpret_cast<WPARAM>(&dlg.m_skin.Button(1091)), 0);
    }
    mbtest::CRecordingPrompter m_prompter;
};

}  // namespace

TEST_F(FmEntry, RefusedWithoutPlayerOrSettings)
{
    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.m_memories[CManagerDlg::MEMORY_INTERNAL].Root = "";
    Press(dlg);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return m_prompter.Count() == 1; }));
    EXPECT_EQ("Cannot connect to the Vilo Lark.\r\nPlease click the \"FM Preset\" button again, after connecting "
              "Vilo Lark.",
              m_prompter.Text(0));

    ::SetFileAttributesA(kSettings, FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(kSettings);
    dlg.m_memories[CManagerDlg::MEMORY_INTERNAL].Root = "J:\\";
    dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
    Press(dlg);
    ASSERT_TRUE(mbtest::PumpUntil([&] { return m_prompter.Count() == 2; }));
    EXPECT_EQ("Please disconnect and reconnect your Vilo Lark.  Then, try again.", m_prompter.Text(1));
    EXPECT_EQ(nullptr, mbtest::FindProcessWindow(L"FM Preset"));
    dlg.DestroyWindow();
}

TEST_F(FmEntry, OpensTheDialogOnTheInternalMemory)
{
    const char* fixtures = std::getenv("MB_FM_FIXTURES");
    ASSERT_NE(nullptr, fixtures);
    std::string fixture = std::string("Z:") + fixtures + "/SETTINGS.DAT";
    for (char& c : fixture)
        if (c == '/')
            c = '\\';
    ::SetFileAttributesA(kSettings, FILE_ATTRIBUTE_NORMAL);
    ASSERT_TRUE(::CopyFileA(fixture.c_str(), kSettings, FALSE));
    ::SetFileAttributesA(kSettings, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_READONLY);

    CManagerDlg dlg;
    ASSERT_TRUE(Open(dlg));
    dlg.m_memories[CManagerDlg::MEMORY_INTERNAL].Root = "J:\\";
    dlg.m_currentMemory = CManagerDlg::MEMORY_INTERNAL;
    std::wstring firstRow;
    // Closes the dialog once it is up, from outside its modal loop.
    mbtest::CBackgroundRun closer([&] {
        HWND fm = nullptr;
        for (int i = 0; i < 200 && !fm; ++i) {
            fm = mbtest::FindProcessWindow(L"FM Preset");
            ::Sleep(50);
        }
        if (!fm)
            return;
        HWND list = ::GetDlgItem(fm, 1519);
        wchar_t text[32] = {};
        LVITEMW item{};
        item.iSubItem = 1;
        item.pszText = text;
        item.cchTextMax = 32;
        ::SendMessageW(list, LVM_GETITEMTEXTW, 0, reinterpret_cast<LPARAM>(&item));
        firstRow = text;
        ::PostMessageW(fm, WM_COMMAND, IDCANCEL, 0);
    });
    Press(dlg);
    ASSERT_TRUE(closer.Finish(30000));
    EXPECT_TRUE(mbtest::PumpUntil([] { return mbtest::FindProcessWindow(L"FM Preset") == nullptr; }));
    EXPECT_EQ(L"89.10", firstRow);
    EXPECT_EQ(0u, m_prompter.Count());
    EXPECT_EQ(CSkinButton::STATE_NORMAL, dlg.m_skin.Button(1091).GetState());
    dlg.DestroyWindow();
}
