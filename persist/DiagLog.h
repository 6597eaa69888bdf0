#pragma once
// The diagnostic log, quorvane.log beside the configuration: one line per event,
//   2026-12-08 14:03:07.412 [category] text
// in local time with milliseconds. The file is opened, appended to and closed for each
// line (nothing stays open, nothing waits on a reader), and rotated when a line would take
// it past the size limit: quorvane.log -> .log.1 -> .log.2, the oldest dropped. A line is
// cut to kMaxLineLength bytes and kept on one line (CR, LF and NUL become blanks); values
// quoted from outside go through CutValue first.
//
// Before Open, and after a failed write, lines are dropped: logging never stops the program.
// Threading: any thread; lines are written whole, one at a time.
#include <cstdarg>
#include <cstddef>
#include <string>

namespace DiagLog {

const size_t kDefaultMaxBytes = 1024 * 1024;
const size_t kMaxLineLength = 1000;
const size_t kMaxValueLength = 100;

// Logs to path from now on; rotation when it would grow past maxBytes.
void Open(const std::string& path, size_t maxBytes = kDefaultMaxBytes);
void Close();
// The file being written, or empty.
std::string Path();

// Appends one line: category in brackets, then the printf-style text.
void Write(const char* category, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;
void WriteV(const char* category, const char* format, va_list args);

// At most maxLength characters of text, "..." marking a cut.
std::string CutValue(const std::string& text, size_t maxLength = kMaxValueLength);

}  // namespace DiagLog
