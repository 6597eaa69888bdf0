#pragma once
// The root of every class that takes commands: the application, documents and windows.
// A command (WM_COMMAND from a menu, an accelerator or a control) is offered to OnCmdMsg,
// which searches the object's message table chain; frames and views override OnCmdMsg to
// pass commands on along the framework's route (view, document, frame, application).
//
// Threading: the user-interface thread only.
#include "win/MessageMap.h"
#include "win/ObArray.h"

// WM_COMMAND code of a menu item or an accelerator (BN_CLICKED has the same value).
#define CN_COMMAND 0

class CCmdTarget : public CObject {
  public:
    CCmdTarget() = default;
    ~CCmdTarget() override;

    // Runs the handler for command nID with notification code nCode; FALSE if none.
    virtual BOOL OnCmdMsg(UINT nID, int nCode);

  protected:
    static const AFX_MSGMAP* GetThisMessageMap();
    virtual const AFX_MSGMAP* GetMessageMap() const;
};
