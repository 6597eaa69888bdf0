#pragma once
// The DDEML transaction callback of the service "Quorvane": topic = connection alias,
// item = OPC item id. Serves connect, advise start, advise request, request and poke;
// answers every other transaction with 0. Data goes out and pokes come in as CF_TEXT for
// a client that asks for CF_TEXT, as XlTable in every other format. Reaches the connections only through the application
// object (FindTopic, GetItemValue, WriteItemValue). Runs on the user-interface thread.
#include <windows.h>
#include <ole2.h>
#include <ddeml.h>

HDDEDATA CALLBACK DdeCallback(UINT uType, UINT uFmt, HCONV hConv, HSZ hsz1, HSZ hsz2, HDDEDATA hData,
                              ULONG_PTR dwData1, ULONG_PTR dwData2);
