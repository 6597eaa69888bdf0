#pragma once
// The configuration file quorvane.cfg: the connections and their items, as key = value
// entries in one fixed order (FileRev, Number Of Connections, then per connection
// UpdateRate, Deadband, MachineName, ServerName, Alias, Number Of Items and one TagName
// per item). No values, qualities, times or handles are stored.
//
// Reading never trusts a count further than the file backs it: every connection block and
// every item must find at least one of its entries at the reading position, else the list
// ends there. So a count with nothing behind it (say 2000000000 and then the end of the
// file) loads what is there and stops, and an item whose TagName line is missing ends its
// connection's item list instead of adding an empty item. Missing counts read as 0, a
// missing update rate as 1000 ms and a missing deadband as 0.0, the new-connection
// defaults; other missing entries leave their fields empty, and a line out of order stops
// all further reading, as the line format defines.
//
// Saving builds the whole file in memory and replaces the old file in one step (a new file
// beside it, flushed to the disk, then renamed over it), so a crash or power loss during
// a save leaves either the old or the new file, never a part of one.
//
// The records read and write their own blocks (opc/ConnectionRecords.cpp); this file
// holds the atomic replacement. Threading: the user-interface thread only.
#include "persist/File.h"
#include "persist/KeyValue.h"
#include "win/CString.h"

// Replaces the file at path with size bytes of data, atomically. FALSE (the old file
// untouched, no new file left behind) when the new one could not be written in full.
BOOL ReplaceFileContents(const char* path, const void* data, DWORD size);
