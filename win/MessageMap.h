#pragma once
// Message tables: one table per window class, searched from the most derived class to its
// bases, first match wins. A table reads like the framework's own:
//
//   BEGIN_MESSAGE_MAP(CMyView, CFormView)
//     ON_BN_CLICKED(IDC_CONNECT, OnConnectButton)
//     ON_NOTIFY(NM_CLICK, IDC_ITEM_LIST, OnClickList)
//     ON_WM_TIMER()
//     ON_MESSAGE(WM_SERVER_SHUTDOWN, OnServerShutdown)
//   END_MESSAGE_MAP()
//
// Each entry stores the handler as a pointer to a member of CCmdTarget together with a
// signature tag; the dispatcher (CCmdTarget, CWnd) casts it back to exactly that type. The
// entry macros cast through the handler's real type, so a handler with the wrong signature
// does not compile.
#include <windows.h>
#include <commctrl.h>

class CCmdTarget;

typedef void (CCmdTarget::*AFX_PMSG)();
typedef void (CCmdTarget::*AFX_PMSG_NOTIFY)(NMHDR*, LRESULT*);
typedef LRESULT (CCmdTarget::*AFX_PMSG_LWL)(WPARAM, LPARAM);
typedef void (CCmdTarget::*AFX_PMSG_TIMER)(UINT_PTR);
typedef int (CCmdTarget::*AFX_PMSG_CREATE)(LPCREATESTRUCTA);
typedef void (CCmdTarget::*AFX_PMSG_BOOL)(BOOL);
typedef void (CCmdTarget::*AFX_PMSG_SIZE)(UINT, int, int);

enum AfxSig : UINT {
    AfxSig_end = 0,
    AfxSig_vv,       // void OnXxx()                          commands, clicks, WM_DESTROY, WM_CLOSE
    AfxSig_vNotify,  // void OnXxx(NMHDR*, LRESULT*)           WM_NOTIFY
    AfxSig_lwl,      // LRESULT OnXxx(WPARAM, LPARAM)          private messages
    AfxSig_vTimer,   // void OnTimer(UINT_PTR)                 WM_TIMER
    AfxSig_iCreate,  // int OnCreate(LPCREATESTRUCT)           WM_CREATE
    AfxSig_vBool,    // void OnEndSession(BOOL)                WM_ENDSESSION
    AfxSig_vSize,    // void OnSize(UINT, int, int)            WM_SIZE
};

struct AFX_MSGMAP_ENTRY {
    UINT nMessage;  // the window message
    UINT nCode;     // control notification code (WM_COMMAND, WM_NOTIFY), else 0
    UINT nID;       // control or command id, else 0
    UINT nLastID;   // last id of a range (= nID for one id)
    AfxSig nSig;
    AFX_PMSG pfn;
};

struct AFX_MSGMAP {
    const AFX_MSGMAP* (*pfnGetBaseMap)();
    const AFX_MSGMAP_ENTRY* lpEntries;
};

#define DECLARE_MESSAGE_MAP()                         \
  protected:                                          \
    static const AFX_MSGMAP* GetThisMessageMap();     \
    const AFX_MSGMAP* GetMessageMap() const override; \
                                                      \
  private:

#define BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const AFX_MSGMAP* theClass::GetMessageMap() const { return GetThisMessageMap(); } \
    const AFX_MSGMAP* theClass::GetThisMessageMap() {                                 \
        typedef theClass ThisClass;                                                   \
        typedef baseClass TheBaseClass;                                               \
        static_cast<void>(sizeof(ThisClass*));                                        \
        static const AFX_MSGMAP_ENTRY s_entries[] = {
#define END_MESSAGE_MAP()                                                          \
    { 0, 0, 0, 0, AfxSig_end, nullptr }                                            \
    }                                                                              \
    ;                                                                              \
    static const AFX_MSGMAP s_map = {&TheBaseClass::GetThisMessageMap, s_entries}; \
    return &s_map;                                                                 \
    }

#define AFX_ENTRY_FN(type, fn) reinterpret_cast<AFX_PMSG>(static_cast<type>(&ThisClass::fn))

// Commands from menus and accelerators, and clicks of buttons and notifying statics.
#define ON_COMMAND(id, fn) {WM_COMMAND, 0, (UINT)(id), (UINT)(id), AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::fn)},
#define ON_CONTROL(code, id, fn) \
    {WM_COMMAND, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::fn)},
#define ON_BN_CLICKED(id, fn) ON_CONTROL(BN_CLICKED, id, fn)
#define ON_STN_CLICKED(id, fn) ON_CONTROL(STN_CLICKED, id, fn)
#define ON_CBN_SELCHANGE(id, fn) ON_CONTROL(CBN_SELCHANGE, id, fn)

// WM_NOTIFY from a common control: void OnXxx(NMHDR*, LRESULT*).
#define ON_NOTIFY(code, id, fn) \
    {WM_NOTIFY, (UINT)(code), (UINT)(id), (UINT)(id), AfxSig_vNotify, AFX_ENTRY_FN(AFX_PMSG_NOTIFY, fn)},

// Any message by number: LRESULT OnXxx(WPARAM, LPARAM).
#define ON_MESSAGE(message, fn) {(UINT)(message), 0, 0, 0, AfxSig_lwl, AFX_ENTRY_FN(AFX_PMSG_LWL, fn)},

#define ON_WM_CREATE() {WM_CREATE, 0, 0, 0, AfxSig_iCreate, AFX_ENTRY_FN(AFX_PMSG_CREATE, OnCreate)},
#define ON_WM_DESTROY() {WM_DESTROY, 0, 0, 0, AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::OnDestroy)},
#define ON_WM_CLOSE() {WM_CLOSE, 0, 0, 0, AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::OnClose)},
#define ON_WM_SETFOCUS() {WM_SETFOCUS, 0, 0, 0, AfxSig_vv, static_cast<AFX_PMSG>(&ThisClass::OnSetFocus)},
#define ON_WM_TIMER() {WM_TIMER, 0, 0, 0, AfxSig_vTimer, AFX_ENTRY_FN(AFX_PMSG_TIMER, OnTimer)},
#define ON_WM_SIZE() {WM_SIZE, 0, 0, 0, AfxSig_vSize, AFX_ENTRY_FN(AFX_PMSG_SIZE, OnSize)},
#define ON_WM_ENDSESSION() {WM_ENDSESSION, 0, 0, 0, AfxSig_vBool, AFX_ENTRY_FN(AFX_PMSG_BOOL, OnEndSession)},

// Finds the entry for a message in a table chain; nullptr when no class handles it.
const AFX_MSGMAP_ENTRY* AfxFindMessageEntry(const AFX_MSGMAP* map, UINT message, UINT code, UINT id);
