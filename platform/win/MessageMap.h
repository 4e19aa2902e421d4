// A message map is a static table from a window message (and, for commands and
// notifications, a control id and a notification code) to a member handler.
// Every window and dialog class declares one; lookups walk the class's table,
// then its base class's, so a derived class overrides a base entry by listing
// the same message first.
//
//   class CAboutDlg : public CDialog {
//       MB_DECLARE_MESSAGE_MAP()
//       void OnDetails();
//       void OnListClick(NMHDR* nm, LRESULT* result);
//   };
//   MB_BEGIN_MESSAGE_MAP(CAboutDlg, CDialog)
//       mb::OnCommand(1017, &CAboutDlg::OnDetails),
//       mb::OnNotify(NM_CLICK, 1001, &CAboutDlg::OnListClick),
//   MB_END_MESSAGE_MAP()
#pragma once

#include <windows.h>

class CWnd;

// Handlers are stored under one member pointer type and cast back to their own
// signature, which the entry's kind records.
typedef void (CWnd::*MbGenericHandler)();

enum MbHandlerKind {
    MB_KIND_END = 0,
    MB_KIND_COMMAND,        // void ()              WM_COMMAND from a menu, accelerator or button click
    MB_KIND_COMMAND_RANGE,  // void (UINT id)       the same for a range of ids
    MB_KIND_CONTROL,        // void ()              WM_COMMAND with one notification code
    MB_KIND_NOTIFY,         // void (NMHDR*, LRESULT*)
    MB_KIND_TIMER,          // void (UINT_PTR id)
    MB_KIND_MESSAGE,        // LRESULT (WPARAM, LPARAM)
};

struct CMessageEntry {
    UINT message;
    UINT code;
    UINT firstId;
    UINT lastId;
    MbHandlerKind kind;
    bool reflected;  // handled by the control that sent it, before its parent sees it
    MbGenericHandler handler;
};

struct CMessageMap {
    const CMessageMap* (*base)();
    const CMessageEntry* entries;  // ends with an MB_KIND_END entry
};

namespace mb {

// Menu items, accelerators and button clicks: notification code 0, or 1
// without a control (an accelerator).
const UINT ANY_COMMAND_CODE = 0xFFFFFFFFu;

template <class T, class F>
CMessageEntry MakeEntry(UINT message, UINT code, UINT first, UINT last, MbHandlerKind kind, bool reflected, F T::*f)
{
    // The cast to the base is checked by the compiler; the reinterpret_cast
    // only erases the signature, which kind restores at dispatch.
    return {message, code, first, last, kind, reflected, reinterpret_cast<MbGenericHandler>(static_cast<F CWnd::*>(f))};
}

template <class T>
CMessageEntry OnCommand(UINT id, void (T::*f)())
{
    return MakeEntry(WM_COMMAND, ANY_COMMAND_CODE, id, id, MB_KIND_COMMAND, false, f);
}

template <class T>
CMessageEntry OnCommandRange(UINT first, UINT last, void (T::*f)(UINT))
{
    return MakeEntry(WM_COMMAND, ANY_COMMAND_CODE, first, last, MB_KIND_COMMAND_RANGE, false, f);
}

// A control's WM_COMMAND notification such as EN_CHANGE or CBN_SELCHANGE.
template <class T>
CMessageEntry OnControl(UINT code, UINT id, void (T::*f)())
{
    return MakeEntry(WM_COMMAND, code, id, id, MB_KIND_CONTROL, false, f);
}

template <class T>
CMessageEntry OnNotify(UINT code, UINT id, void (T::*f)(NMHDR*, LRESULT*))
{
    return MakeEntry(WM_NOTIFY, code, id, id, MB_KIND_NOTIFY, false, f);
}

// In a control class: the control handles its own notification. The parent's
// map sees it only when the control's class has no entry for it.
template <class T>
CMessageEntry OnNotifyReflect(UINT code, void (T::*f)(NMHDR*, LRESULT*))
{
    return MakeEntry(WM_NOTIFY, code, 0, 0xFFFFFFFFu, MB_KIND_NOTIFY, true, f);
}

template <class T>
CMessageEntry OnControlReflect(UINT code, void (T::*f)())
{
    return MakeEntry(WM_COMMAND, code, 0, 0xFFFFFFFFu, MB_KIND_CONTROL, true, f);
}

template <class T>
CMessageEntry OnTimer(void (T::*f)(UINT_PTR))
{
    return MakeEntry(WM_TIMER, 0, 0, 0, MB_KIND_TIMER, false, f);
}

// Any other message; the handler's result is the window procedure's result.
template <class T>
CMessageEntry OnMessage(UINT message, LRESULT (T::*f)(WPARAM, LPARAM))
{
    return MakeEntry(message, 0, 0, 0, MB_KIND_MESSAGE, false, f);
}

}  // namespace mb

#define MB_DECLARE_MESSAGE_MAP()                                                  \
public:                                                                           \
    static const CMessageMap* ClassMessageMap();                                  \
                                                                                  \
protected:                                                                        \
    const CMessageMap* GetMessageMap() const override { return ClassMessageMap(); } \
                                                                                  \
private:

#define MB_BEGIN_MESSAGE_MAP(cls, base)                                   \
    const CMessageMap* cls::ClassMessageMap()                             \
    {                                                                     \
        static const CMessageMap* (*const baseMap)() = &base::ClassMessageMap; \
        static const CMessageEntry entries[] = {

#define MB_END_MESSAGE_MAP()                      \
        CMessageEntry{}};                         \
        static const CMessageMap map{baseMap, entries}; \
        return &map;                              \
    }
