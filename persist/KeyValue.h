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
//
// With a problem list set on the file (CFile::SetReadProblems), a reader records every
// line it could not read as expected, with its line number, and reads past what the
// format allows: a line whose key differs from the expected one only in case or blanks is
// taken as that entry; a line with none of the list's known keys (blank lines aside) is
// read over; a number that does not parse is reported. Without a list, the readers behave
// exactly as above.
#include <cstddef>
#include <vector>

#include "persist/File.h"
#include "win/CString.h"

// What a read found out of place, by line (1-based).
struct CReadProblem {
    int line;
    CString text;
};

class CReadProblems {
  public:
    // Indexes the lines of the whole file, so that positions can be told as line numbers;
    // the file's position is kept.
    void IndexLines(CFile& file);
    // The keys of the format: a line that holds none of them is unknown and read over.
    void SetKnownKeys(const std::vector<CString>& keys) { m_knownKeys = keys; }
    BOOL IsKnownKeyLine(const char* line) const;

    void Add(ULONGLONG position, const CString& text);
    int LineAt(ULONGLONG position) const;  // 1-based; past the last line: one more
    int LineCount() const { return static_cast<int>(m_lineEnds.size()); }

    BOOL IsClean() const { return m_problems.empty() ? TRUE : FALSE; }
    const std::vector<CReadProblem>& Items() const { return m_problems; }
    // One line for the user: "Configuration: lines skipped or repaired: 12 (...), 14 (...)",
    // at most maxItems problems named, then "and N more".
    CString NoticeText(size_t maxItems = 5) const;

  private:
    std::vector<ULONGLONG> m_lineEnds;  // offset of each line's LF (or the file's end)
    std::vector<CString> m_knownKeys;
    std::vector<CReadProblem> m_problems;
};

const size_t kLineBufferSize = 1000;
const size_t kNumberLineBufferSize = 500;

// Each writes one entry at the current position and answers 1 (0 only without a file).
BOOL WriteStringEntry(CFile* file, const CString& key, const CString& value);
BOOL WriteIntEntry(CFile* file, const CString& key, int value);
BOOL WriteFloatEntry(CFile* file, const CString& key, float value);

BOOL ReadStringEntry(CFile* file, const CString& key, CString* target);
BOOL ReadIntEntry(CFile* file, const CString& key, int* target);
BOOL ReadFloatEntry(CFile* file, const CString& key, float* target);

// Reads over blank lines; TRUE when the file ends after them (the position is then at
// the end), else FALSE with the position back where it was.
BOOL SkipBlankLinesToEnd(CFile* file);
