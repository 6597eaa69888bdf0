#pragma once
// Finding OPC servers and creating server objects, on this machine or a named one.
#include "com/ComPtr.h"
#include "opcda.h"

#include <string>

namespace kobrix {

using com::ComPtr;

// True for "", "localhost", "127.0.0.1" and this computer's names (any case, leading "\\" allowed).
bool IsThisMachine(const char* machine);

// Creates the server object of a ProgID on a machine; S_OK and a non-null pointer, or a failure.
HRESULT CreateServerObject(const char* machine, const char* progId, ComPtr<IOPCServer>& server);

}  // namespace kobrix
