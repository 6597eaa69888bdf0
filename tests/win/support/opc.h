#pragma once
// OPC values and the simulation server's control tags, for every suite.
//
// A ControlTag writes one control tag (Control.RefuseGroups, Control.RefuseItems,
// Control.RefuseWrites, Control.BigBranchSize, ...) through a raw-COM connection of its
// own and writes the reset value back when it goes. Its connection keeps the server
// process, and with it the setting, alive meanwhile; the group is made before the tag is
// written, so that the reset works even while the server refuses groups or items.
// Threading: the test's thread; COM is initialised on it for the guard's life if needed.
#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "opcda.h"
#include "com/ComPtr.h"

namespace qvtest {

// A VARIANT of type VT_R8, VT_I4 or VT_BOOL holding v.
VARIANT MakeVariant(VARTYPE vt, double v);

// Process ids of the running simulation servers (QuorvaneSim.exe).
std::vector<DWORD> SimServerProcesses();

// Registers every simulation class (QuorvaneSim.exe /RegServer /All, as scripts/register.sh
// does); true when the program ran and succeeded.
bool RegisterAllSimClasses();

// Activates the simulation server out of process by ProgID.
HRESULT ConnectSim(const wchar_t* progId, com::ComPtr<IOPCServer>& server);

class ControlTag {
  public:
    ControlTag(const wchar_t* id, const VARIANT& value, const VARIANT& reset);
    ~ControlTag();
    ControlTag(const ControlTag&) = delete;
    ControlTag& operator=(const ControlTag&) = delete;
    // Whether the write was taken, with the failing step's HRESULT otherwise.
    ::testing::AssertionResult ok() const;

  private:
    HRESULT Write(const VARIANT& value);
    bool com_ = false;
    com::ComPtr<IOPCServer> server_;
    com::ComPtr<IOPCItemMgt> group_;
    OPCHANDLE groupHandle_ = 0;
    OPCHANDLE item_ = 0;
    com::Variant reset_;
    const char* step_ = "connect";
    HRESULT hr_ = E_FAIL;
};

}  // namespace qvtest
