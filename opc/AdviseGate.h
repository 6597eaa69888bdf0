#pragma once
// What the connection list needs of the DDE side, handed to it from dde/ (CAdviseGate), so
// that the OPC side never depends on the DDE service itself.
#include <windows.h>
#include <ddeml.h>

class IAdviseGate {
  public:
    // The DDEML instance the records make their string handles in (0: none).
    virtual DWORD DdeInstance() const = 0;
    // Posts the advise for (topic, item) now, or drops it while updates are suspended.
    // FALSE when it must wait, for the running DDE transaction to end or for the next
    // posting window: the caller marks the item pending, and the gate has the pending
    // advises flushed then.
    virtual BOOL Advise(HSZ hszTopic, HSZ hszItem) = 0;
    // Brackets of the list's flush of the advises that wait.
    virtual void BeginFlush() {}
    virtual void EndFlush() {}

  protected:
    ~IAdviseGate() = default;
};
