#pragma once
// Killing a simulation server process that a test made start. Under Wine a killed local
// server leaves a stale class registration in rpcss, and every later activation of that
// class fails until rpcss restarts: RestartRpcSsUnderWine stops RpcSs (COM starts it again
// on the next activation). It does nothing outside Wine, where rpcss copes by itself.
#include <windows.h>

namespace qvtest {

// Ends one process we started and waits for it to be gone.
bool Kill(DWORD pid);
bool RestartRpcSsUnderWine();

}  // namespace qvtest
