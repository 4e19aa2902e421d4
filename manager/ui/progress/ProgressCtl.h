// CProgressCtl: the manager's window for the progress control of Progress.dll.
// It hosts the control (created by its class id) in a window of its own and
// calls it through automation. When the control is not registered the window
// stays, empty, and every call does nothing: the manager runs on without a bar.
#pragma once

#include <windows.h>
#include <oaidl.h>

#include <functional>

#include "Wnd.h"

namespace mbcom {
class CControlSite;
}

class CProgressCtl : public CWnd {
public:
    CProgressCtl() = default;
    ~CProgressCtl() override;

    static const CLSID& ClassId();

    // The control as child id of parent at rect (client coordinates). False
    // when the control could not be made; the (empty) window exists anyway
    // when the window itself could be made.
    bool Create(DWORD style, const RECT& rect, HWND parent, UINT id);
    // The same in place of a dialog template's placeholder control.
    bool CreateInPlaceOf(HWND parent, UINT id);

    // Dispid 3: a 16-bit segment and a 32-bit position.
    void SetPos(short segment, long position);
    // Dispid 5: two 32-bit bounds.
    void SetRange(long lower, long upper);

    // The control's event dispid 1 (MousePosNum): the segment under the mouse,
    // or -1.
    void SetMousePosHandler(std::function<void(long)> handler) { m_onMousePos = std::move(handler); }

    bool HasControl() const { return m_site != nullptr; }
    IDispatch* GetControlDispatch() const;
    HWND GetControlWindow() const;

protected:
    LRESULT WindowProc(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    bool AttachControl();
    void ReleaseControl();

    mbcom::CControlSite* m_site = nullptr;
    std::function<void(long)> m_onMousePos;
};
