#pragma once
// Modal loops of the user-interface thread, and a close request that arrives during one.
//
// A modal loop (a dialog, a message box, a popup menu, the start-up) dispatches every
// message of the thread, WM_CLOSE and WM_ENDSESSION of the main window included. If the
// frame were destroyed there, the code after the loop would run on freed windows. So
// while a loop of ours runs, or while the close arrives nested inside another handler of
// ours, the frame only records the request: every modal of ours is ended (our dialogs
// with IDCANCEL, message boxes and other system dialogs by their cancel button, menus by
// EndMenu), and once the outermost loop and handler have returned, WM_CLOSE is posted
// to the main window again and the frame closes as usual. From the request on, new modal
// loops do not start: DoModal answers IDCANCEL and a message box its cancel answer at
// once, so the callers take their "cancelled" branch.
//
// Threading: the user-interface thread only.
#include <windows.h>

// Marks the extent of one modal loop (or a phase that must run to its end, such as the
// start-up); nests.
class CModalLoopScope {
  public:
    CModalLoopScope();
    ~CModalLoopScope();
    CModalLoopScope(const CModalLoopScope&) = delete;
    CModalLoopScope& operator=(const CModalLoopScope&) = delete;
};

// TRUE when a close must wait: a modal loop runs, or the current message arrived nested
// inside another handler of ours.
BOOL AfxIsCloseUnsafe();
// Records the close request of hMain and ends every modal of ours; the close is carried
// out by a WM_CLOSE posted to hMain once nothing is on the stack any more.
void AfxDeferClose(HWND hMain);
// TRUE from a deferred close request on: no new modal loop may start.
BOOL AfxIsClosePending();

// Called by the window procedure around each message it dispatches.
void AfxEnterDispatch();
void AfxLeaveDispatch();
