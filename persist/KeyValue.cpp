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

// Reads the next line and answers its value text in line, or null after restoring the
// position when the line is not the entry for key.
const char* ReadEntry(CFile* file, const CString& key, char (&line)[kLineBufferSize]) {
  if (!file) return nullptr;
  std::memset(line, 0, sizeof line);
  ULONGLONG start = file->GetPosition();
  ReadLine(file, line, sizeof line);
  const char* value = EntryValue(line, key);
  if (!value) file->Seek(static_cast<LONGLONG>(start), CFile::begin);
  return value;
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
  const char* value = ReadEntry(file, key, line);
  if (!value) return FALSE;
  if (target) *target = value;
  return TRUE;
}

BOOL ReadIntEntry(CFile* file, const CString& key, int* target) {
  char line[kLineBufferSize];
  const char* value = ReadEntry(file, key, line);
  if (!value) return FALSE;
  int number;
  if (target && ParseInt(value, &number)) *target = number;
  return TRUE;
}

BOOL ReadFloatEntry(CFile* file, const CString& key, float* target) {
  char line[kLineBufferSize];
  const char* value = ReadEntry(file, key, line);
  if (!value) return FALSE;
  float number;
  if (target && ParseFloat(value, &number)) *target = number;
  return TRUE;
}

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

BOOL KeyMatches(const char* line, const CString& key) {
  if (!line) return FALSE;
  const char* k = key;
  for (int i = 0; i < key.GetLength(); ++i) {
    // Stop at the end of the line: a key holding a NUL never reads past it.
    if (line[i] != k[i] || line[i] == '\0') return FALSE;
  }
  return TRUE;
}
