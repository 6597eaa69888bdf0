#pragma once
// The 18 operations behind the exports, called only on the owner thread after the
// export layer (Kobrix2.cpp) has let the call through.
#include "kobrix/kobrix2.h"

namespace kobrix {

// ServerList.cpp
int EnumerateServers(int selector, const char* machine);
int GetServerName(int index, char* buffer, int size);

// Connection.cpp
int ConnectServer(const char* machine, const char* server);
void DisconnectServer(int hServer);
int AddGroup(int hServer, const char* name, DWORD* updateRate, float* deadband);
void RemoveGroup(int hServer, int hGroup);
int AddItem(int hServer, int hGroup, const char* itemId);
void RemoveItem(int hServer, int hGroup, int hItem);
void RefreshGroup(int hServer, int hGroup, int mode);
int WriteItem(int hServer, int hGroup, int hItem, const VARIANT* value);
void SetDataChangeCallback(int hServer, OPCDATACHANGEPROC proc);
void SetShutdownCallback(int hServer, OPCSHUTDOWNPROC proc);

// Browse.cpp
int SetBrowsePosition(int hServer, const char* path);
int BrowseNames(int hServer, int type);
int GetBrowseName(int hServer, int index, char* buffer, int size);
int GetItemId(int hServer, const char* leafName, char* buffer, int size);
int GetNamespaceType(int hServer, WORD* type);

}  // namespace kobrix
