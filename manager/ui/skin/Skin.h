// CSkin: the skin of the main dialog. It binds the template's skin buttons
// and pictures, keeps SKIN.INI's text and every bitmap it loads, and runs
// the three skin steps (layout, buttons, frame) at start and on each
// resize: the arithmetic comes from manager/core/skin, this class loads the
// bitmaps from the images folder and moves the windows. Every bitmap it
// replaces is deleted, so resizing and expanding keep the GDI count flat.
#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Gdi.h"
#include "SkinButton.h"
#include "SkinIni.h"
#include "SkinLayout.h"

class CSkin {
public:
    // Skin buttons of the main dialog, in the order of their bitmap table.
    static const UINT kButtonIds[29];

    CSkin() = default;
    ~CSkin() { FreeSkinResources(); }
    CSkin(const CSkin&) = delete;
    CSkin& operator=(const CSkin&) = delete;

    // Binds the dialog's buttons and pictures; imagesFolder ends with "\".
    void Attach(HWND dialog, const std::string& imagesFolder);
    const std::string& ImagesFolder() const { return m_images; }

    // SKIN.INI values; reload reads the file from disk first. False when the
    // file cannot be read or the section (or a requested value) is missing.
    bool ReadSkinValues(const std::string& section, int* x, int* y, int* cx, int* cy, bool reload,
                        std::string* str = nullptr);

    // The three skin steps. first: the start-up run (reads SKIN.INI, makes the
    // window its start size at (0, 0), loads the banner, logos and button
    // bitmaps); width and height 0 take the client size. False when a needed
    // section or bitmap is missing.
    bool LoadSkinLayout(bool first, int width, int height);
    bool LoadSkinButtons(bool first);
    bool LoadSkinFrame(int width, int height);
    // Drag image lists are the dialog's; this frees every bitmap of the skin.
    void FreeSkinResources();

    // The resize step: the three steps at the new client size. Nothing is
    // done (and true returned) while the client area is empty (minimised).
    bool OnSize(int width, int height);
    void OnGetMinMaxInfo(MINMAXINFO* info) const;

    // The PC tree hidden (CFG_TR) or shown; the layout places the PC list.
    void SetTreeHidden(bool hidden) { m_treeHidden = hidden; }
    bool IsTreeHidden() const { return m_treeHidden; }
    // The maximise button's look for the expanded window and back.
    void SetExpanded(bool expanded);
    bool IsExpanded() const { return m_expanded; }

    CSkinButton& Button(UINT id) { return m_buttons[id]; }
    bool HasButton(UINT id) const { return m_buttons.count(id) != 0; }
    CSkinPicture& Picture(UINT id) { return m_pictures[id]; }

    // Banner animation: frame count, and showing frame f in the three
    // pictures placed at the banner's position for a client width.
    int BannerFrames() const { return m_layout.bannerFrames; }
    bool HasBannerFrame(int frame, int part) const;
    void ShowBannerFrame(int frame, int clientWidth);

    const skin::LayoutResult& Layout() const { return m_layout; }
    RECT LinkRect() const;
    const std::string& LinkTarget() const { return m_layout.linkTarget; }
    RECT StatusLeft() const;
    RECT StatusRight() const;
    // The last step that failed, for diagnostics.
    const std::string& LastError() const { return m_error; }

private:
    bool ReadIni();
    HBITMAP LoadImageFile(const std::string& name, int cx = 0, int cy = 0) const;
    void Move(UINT id, const skin::Rect& r);
    skin::LayoutInput MakeInput(bool first, int width, int height);
    void FreeBanner();

    HWND m_dialog = nullptr;
    std::string m_images;
    CSkinIni m_ini;
    skin::LayoutResult m_layout;
    std::string m_error;
    bool m_treeHidden = false;
    bool m_expanded = false;

    std::map<UINT, CSkinButton> m_buttons;
    std::map<UINT, CSkinPicture> m_pictures;
    // Banner frames: [part][frame], owned.
    std::vector<HBITMAP> m_banner[3];
    CBitmap m_logo0, m_logo1;
    CBitmap m_frame[18];  // SKIN_I1..I8, SKIN_H1..H5, SKIN_V1..V5 (ids 1474..1491)
};
