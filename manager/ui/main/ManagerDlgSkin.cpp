// The skin steps (CSkin does the work) and timer 1's banner animation.
#include "ManagerDlg.h"

#include "ManagerGlobals.h"

bool CManagerDlg::ReadSkinValues(const std::string& section, int* x, int* y, int* cx, int* cy, bool reload,
                                 std::string* str)
{
    return m_skin.ReadSkinValues(section, x, y, cx, cy, reload, str);
}

bool CManagerDlg::LoadSkinLayout(int first, int width, int height)
{
    return m_skin.LoadSkinLayout(first != 0, width, height);
}

bool CManagerDlg::LoadSkinButtons(int first)
{
    return m_skin.LoadSkinButtons(first != 0);
}

bool CManagerDlg::LoadSkinFrame(int width, int height)
{
    return m_skin.LoadSkinFrame(width, height);
}

void CManagerDlg::FreeSkinResources()
{
    m_dragFile.Destroy();
    m_dragFolder.Destroy();
    m_skin.FreeSkinResources();
}

void CManagerDlg::AnimateBanner()
{
    const int frames = m_skin.BannerFrames();
    if (frames <= 1)
        return;
    // The banner advances on every second tick.
    short before = g_bannerTicks++;
    if (before != 1)
        return;
    g_bannerTicks = 0;
    RECT client = GetClientRect();
    if (client.right <= 0 || client.bottom <= 0)
        return;  // minimised: nothing drawn, the frame waits
    m_skin.ShowBannerFrame(g_bannerFrame % frames, client.right);
    ++m_bannerDraws;
    g_bannerFrame = short((g_bannerFrame + 1) % frames);
}
