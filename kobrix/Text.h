#pragma once
// Text at the library's edges: 8-bit ANSI (CP_ACP) on the API, UTF-16 towards COM,
// and output into caller buffers that are bounded by the size passed.
#include <string>

namespace kobrix {

std::wstring Widen(const char* ansi);     // NULL gives ""
std::string Narrow(const wchar_t* wide);  // NULL gives ""

// Copies text with its terminator into buffer[size]. Answers 0 and writes nothing for a
// NULL buffer or size <= 0; answers 0 and leaves "" for text that does not fit whole,
// because a cut name or item id would name something else. Nonzero when copied.
int CopyOut(const std::string& text, char* buffer, int size);

}  // namespace kobrix
