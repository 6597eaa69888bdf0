#pragma once
// The configuration's line format: one entry per line, "key = value" and CR LF.
//
// A reader is told which key comes next. It reads one line; if the line begins with that
// key (exact bytes, case-sensitive, by prefix) and holds an "=", the value is taken from
// the second character after the first "=" to the end of the line and the line is
// consumed (answer 1). Otherwise the file position goes back to the start of the line
// and the target keeps its value (answer 0). CRs are dropped anywhere in a line.
//
// Limits: a line is read into kLineBufferSize bytes; the part of a longer line that does
// not fit is read over and dropped, so the next read starts at the next line. A text
// entry is written as at most kLineBufferSize - 1 bytes, a number entry as at most
// kNumberLineBufferSize - 1 bytes, CR LF included: a longer entry is cut before its
// CR LF. CR and LF inside a written value are left out, so an entry stays one line.
// A number that cannot be read (no digits, out of range, not finite) leaves its target
// unchanged; the line is still consumed and the answer is 1.
#include <cstddef>

#include "persist/File.h"
#include "win/CString.h"

const size_t kLineBufferSize = 1000;
const size_t kNumberLineBufferSize = 500;

// Each writes one entry at the current position and answers 1 (0 only without a file).
BOOL WriteStringEntry(CFile* file, const CString& key, const CString& value);
BOOL WriteIntEntry(CFile* file, const CString& key, int value);
BOOL WriteFloatEntry(CFile* file, const CString& key, float value);

BOOL ReadStringEntry(CFile* file, const CString& key, CString* target);
BOOL ReadIntEntry(CFile* file, const CString& key, int* target);
BOOL ReadFloatEntry(CFile* file, const CString& key, float* target);

// Reads one line (up to LF or the end of the file) into buffer, CRs and the LF left out,
// at most size - 1 bytes followed by a NUL; the rest of a longer line is read over.
// FALSE when the file was already at its end (the buffer is then left as it was).
BOOL ReadLine(CFile* file, char* buffer, size_t size);

// 1 when line begins with the bytes of key (an empty key matches every line).
BOOL KeyMatches(const char* line, const CString& key);
