#include "persist/KeyValue.h"

#include <cerrno>
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

// Reads one line (up to LF or the end of the file) into buffer, CRs and the LF left out,
// at most size - 1 bytes followed by a NUL; the rest of a longer line is read over.
// FALSE when the file was already at its end.
BOOL ReadLine(CFile* file, char* buffer, size_t size) {
    if (!file || !buffer || size == 0) return FALSE;
    size_t stored = 0;
    bool any = false;
    char c;
    while (file->Read(&c, 1) == 1) {
        any = true;
        if (c == '\n') break;
        if (c == '\r') continue;
        if (stored + 1 < size) buffer[stored++] = c;
    }
    if (any) buffer[stored] = '\0';
    return any ? TRUE : FALSE;
}

// 1 when line begins with the bytes of key (an empty key matches every line).
BOOL KeyMatches(const char* line, const CString& key) {
    if (!line) return FALSE;
    const char* k = key;
    for (int i = 0; i < key.GetLength(); ++i) {
        // Stop at the end of the line: a key holding a NUL never reads past it.
        if (line[i] != k[i] || line[i] == '\0') return FALSE;
    }
    return TRUE;
}

// Writes "<body>\r\n" with CR and LF left out of the body and the whole line cut to
// bufferSize - 1 bytes.
BOOL WriteLine(CFile* file, const std::string& body, size_t bufferSize) {
    if (!file) return FALSE;
    const size_t maxBody = bufferSize - 3;  // room for CR LF and the formatting NUL
    std::string line;
    line.reserve(body.size() < maxBody ? body.size() + 2 : bufferSize);
    for (char c : body) {
        if (line.size() == maxBody) break;
        if (c != '\r' && c != '\n') line += c;
    }
    line += "\r\n";
    file->Write(line.data(), static_cast<UINT>(line.size()));
    return TRUE;
}

std::string EntryBody(const CString& key, const char* value) {
    std::string body(static_cast<const char*>(key));
    body += " = ";
    body += value;
    return body;
}

// The value text of an entry line for key, or null when the line is not that entry.
const char* EntryValue(const char* line, const CString& key) {
    if (!KeyMatches(line, key)) return nullptr;
    // The last byte of the buffer always holds the terminating NUL.
    const char* equals = static_cast<const char*>(std::memchr(line, '=', kLineBufferSize - 1));
    if (!equals) return nullptr;
    // One character after "=" is skipped (the writer's blank), unless the line ends there.
    return equals[1] ? equals + 2 : equals + 1;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// The key of an entry line: the text before its "=" without blanks around it (empty
// when the line holds no "=").
std::string LineKey(const char* line) {
    const char* equals = std::strchr(line, '=');
    if (!equals) return std::string();
    const char* b = line;
    const char* e = equals;
    while (b < e && IsBlank(*b)) ++b;
    while (e > b && IsBlank(e[-1])) --e;
    return std::string(b, e);
}

bool SameIgnoringCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

bool IsBlankLine(const char* line) {
    while (IsBlank(*line)) ++line;
    return *line == '\0';
}

// The line as quoted in a problem: cut to 40 characters.
CString Quoted(const char* line) {
    std::string text(line);
    if (text.size() > 40) text = text.substr(0, 40) + "...";
    return CString(("\"" + text + "\"").c_str());
}

// Reads the next line and answers its value text in line, or null after restoring the
// position when the line is not the entry for key. *start is where the entry began.
// With a problem list on the file, reads past what the format allows (see the header).
const char* ReadEntry(CFile* file, const CString& key, char (&line)[kLineBufferSize], ULONGLONG* start) {
    if (!file) return nullptr;
    CReadProblems* problems = file->GetReadProblems();
    for (;;) {
        std::memset(line, 0, sizeof line);
        *start = file->GetPosition();
        BOOL any = ReadLine(file, line, sizeof line);
        const char* value = EntryValue(line, key);
        if (value || !problems) {
            if (!value) file->Seek(static_cast<LONGLONG>(*start), CFile::begin);
            return value;
        }
        if (!any) {
            problems->Add(*start, CString("expected \"") + key + "\", found the end of the file");
            file->Seek(static_cast<LONGLONG>(*start), CFile::begin);
            return nullptr;
        }
        std::string lineKey = LineKey(line);
        if (!lineKey.empty() && SameIgnoringCase(lineKey, key)) {
            problems->Add(*start, Quoted(line) + " read as \"" + key + "\"");
            const char* equals = std::strchr(line, '=') + 1;
            while (IsBlank(*equals)) ++equals;
            return equals;
        }
        if (IsBlankLine(line)) continue;  // loses nothing: read over without a word
        if (!problems->IsKnownKeyLine(line)) {
            problems->Add(*start, Quoted(line) + " skipped");
            continue;
        }
        problems->Add(*start, CString("expected \"") + key + "\", found " + Quoted(line));
        file->Seek(static_cast<LONGLONG>(*start), CFile::begin);
        return nullptr;
    }
}

void NoteUnreadableNumber(CFile* file, ULONGLONG start, const char* value) {
    if (CReadProblems* problems = file->GetReadProblems()) problems->Add(start, Quoted(value) + " is not a number");
}

// As sscanf "%d" reads, but refusing numbers outside the range of int.
bool ParseInt(const char* text, int* out) {
    char* end = nullptr;
    errno = 0;
    long value = std::strtol(text, &end, 10);
    if (end == text || errno == ERANGE || value < INT_MIN || value > INT_MAX) return false;
    *out = static_cast<int>(value);
    return true;
}

// As sscanf "%f" reads, but refusing values that are not finite 32-bit floats.
bool ParseFloat(const char* text, float* out) {
    char* end = nullptr;
    double value = std::strtod(text, &end);
    if (end == text || !std::isfinite(value) || std::fabs(value) > FLT_MAX) return false;
    *out = static_cast<float>(value);
    return true;
}

}  // namespace

BOOL WriteStringEntry(CFile* file, const CString& key, const CString& value) {
    return WriteLine(file, EntryBody(key, value), kLineBufferSize);
}

BOOL WriteIntEntry(CFile* file, const CString& key, int value) {
    char number[16];
    std::snprintf(number, sizeof number, "%d", value);
    return WriteLine(file, EntryBody(key, number), kNumberLineBufferSize);
}

BOOL WriteFloatEntry(CFile* file, const CString& key, float value) {
    char number[kNumberLineBufferSize];  // "%f" of the largest float takes 46 bytes
    std::snprintf(number, sizeof number, "%f", static_cast<double>(value));
    return WriteLine(file, EntryBody(key, number), kNumberLineBufferSize);
}

BOOL ReadStringEntry(CFile* file, const CString& key, CString* target) {
    char line[kLineBufferSize];
    ULONGLONG start;
    const char* value = ReadEntry(file, key, line, &start);
    if (!value) return FALSE;
    if (target) *target = value;
    return TRUE;
}

namespace {

// A number entry: an unparsable number is noted and leaves the target as it was.
template <class T>
BOOL ReadNumberEntry(CFile* file, const CString& key, T* target, bool (*parse)(const char*, T*)) {
    char line[kLineBufferSize];
    ULONGLONG start;
    const char* value = ReadEntry(file, key, line, &start);
    if (!value) return FALSE;
    T number;
    if (!parse(value, &number))
        NoteUnreadableNumber(file, start, value);
    else if (target)
        *target = number;
    return TRUE;
}

}  // namespace

BOOL ReadIntEntry(CFile* file, const CString& key, int* target) { return ReadNumberEntry(file, key, target, ParseInt); }

BOOL ReadFloatEntry(CFile* file, const CString& key, float* target) {
    return ReadNumberEntry(file, key, target, ParseFloat);
}

// ---- CReadProblems ------------------------------------------------------------------

void CReadProblems::IndexLines(CFile& file) {
    m_lineEnds.clear();
    ULONGLONG at = file.GetPosition();
    file.Seek(0, CFile::begin);
    char buffer[4096];
    ULONGLONG offset = 0;
    bool open = false;  // bytes after the last LF
    for (UINT n; (n = file.Read(buffer, sizeof buffer)) > 0; offset += n) {
        for (UINT i = 0; i < n; ++i) {
            if (buffer[i] == '\n') m_lineEnds.push_back(offset + i);
            open = buffer[i] != '\n';
        }
    }
    if (open) m_lineEnds.push_back(offset);
    file.Seek(static_cast<LONGLONG>(at), CFile::begin);
}

BOOL CReadProblems::IsKnownKeyLine(const char* line) const {
    if (m_knownKeys.empty()) return TRUE;  // no list: every line may be an entry
    std::string lineKey = LineKey(line);
    for (const CString& key : m_knownKeys) {
        if (KeyMatches(line, key) || SameIgnoringCase(lineKey, key)) return TRUE;
    }
    return FALSE;
}

int CReadProblems::LineAt(ULONGLONG position) const {
    size_t before = 0, n = m_lineEnds.size();
    while (before < n) {  // lines whose end lies before the position (binary search)
        size_t mid = before + (n - before) / 2;
        if (m_lineEnds[mid] < position)
            before = mid + 1;
        else
            n = mid;
    }
    return static_cast<int>(before) + 1;
}

void CReadProblems::Add(ULONGLONG position, const CString& text) {
    m_problems.push_back(CReadProblem{LineAt(position), text});
}

CString CReadProblems::NoticeText(size_t maxItems) const {
    if (m_problems.empty()) return CString();
    std::string text = "Configuration: lines skipped or repaired: ";
    for (size_t i = 0; i < m_problems.size() && i < maxItems; ++i) {
        if (i > 0) text += ", ";
        text += std::to_string(m_problems[i].line) + " (" + static_cast<const char*>(m_problems[i].text) + ")";
    }
    if (m_problems.size() > maxItems) text += " and " + std::to_string(m_problems.size() - maxItems) + " more";
    return CString(text.c_str());
}

BOOL SkipBlankLinesToEnd(CFile* file) {
    if (!file) return TRUE;
    ULONGLONG start = file->GetPosition();
    char line[kLineBufferSize];
    while (ReadLine(file, line, sizeof line)) {
        if (!IsBlankLine(line)) {
            file->Seek(static_cast<LONGLONG>(start), CFile::begin);
            return FALSE;
        }
    }
    return TRUE;
}
