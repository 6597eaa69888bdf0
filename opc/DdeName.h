#pragma once
// DDE names as DDEML matches them: a string handle is a global atom, and atoms compare
// without case. The lookups by topic and item name fold their keys the same way.
#include <windows.h>
#include <ddeml.h>

#include <cstddef>
#include <string>

// name in lower case, as the ANSI code page folds it.
std::string FoldDdeName(const char* name);
size_t HashDdeName(const char* name);
// The text of a string handle of instance idInst ("" when it has none).
std::string DdeNameText(DWORD idInst, HSZ hsz);
