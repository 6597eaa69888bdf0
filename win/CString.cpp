#include "win/CString.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

// Clamps [first, first + count) to the text of the given length.
void ClampRange(int length, int* first, int* count) {
    if (*first < 0) *first = 0;
    if (*first > length) *first = length;
    if (*count < 0) *count = 0;
    if (*count > length - *first) *count = length - *first;
}

}  // namespace

CString::CString(const char* text) {
    if (text) m_text = text;
}

CString::CString(const char* text, int length) {
    if (text && length > 0) m_text.assign(text, static_cast<size_t>(length));
}

CString::CString(char ch, int repeat) {
    if (repeat > 0) m_text.assign(static_cast<size_t>(repeat), ch);
}

CString& CString::operator=(const char* text) {
    if (text)
        m_text = text;  // self-assignment through operator const char* is safe here
    else
        m_text.clear();
    return *this;
}

CString& CString::operator=(char ch) {
    m_text.assign(1, ch);
    return *this;
}

char CString::GetAt(int index) const {
    if (index < 0 || index >= GetLength()) return '\0';
    return m_text[static_cast<size_t>(index)];
}

CString& CString::operator+=(const CString& other) {
    m_text += other.m_text;
    return *this;
}

CString& CString::operator+=(const char* text) {
    if (text) m_text += text;
    return *this;
}

CString& CString::operator+=(char ch) {
    m_text += ch;
    return *this;
}

void CString::Format(const char* format, ...) {
    m_text.clear();
    if (!format) return;
    va_list args;
    va_start(args, format);
    va_list measure;
    va_copy(measure, args);
    int needed = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (needed > 0) {
        std::string out(static_cast<size_t>(needed) + 1, '\0');
        int written = std::vsnprintf(&out[0], out.size(), format, args);
        if (written >= 0) {
            out.resize(static_cast<size_t>(written < needed ? written : needed));
            m_text.swap(out);
        }
    }
    va_end(args);
}

CString CString::Left(int count) const { return Mid(0, count); }

CString CString::Mid(int first) const { return Mid(first, GetLength()); }

CString CString::Mid(int first, int count) const {
    ClampRange(GetLength(), &first, &count);
    return CString(m_text.substr(static_cast<size_t>(first), static_cast<size_t>(count)));
}

int CString::Find(char ch, int start) const {
    if (start < 0) start = 0;
    if (start >= GetLength()) return -1;
    size_t at = m_text.find(ch, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::Find(const char* sub, int start) const {
    if (!sub) return -1;
    if (start < 0) start = 0;
    if (start > GetLength()) return -1;
    size_t at = m_text.find(sub, static_cast<size_t>(start));
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

int CString::ReverseFind(char ch) const {
    size_t at = m_text.rfind(ch);
    return at == std::string::npos ? -1 : static_cast<int>(at);
}

char* CString::GetBuffer(int minLength) {
    if (minLength < 0) minLength = 0;
    if (m_text.size() < static_cast<size_t>(minLength)) m_text.resize(static_cast<size_t>(minLength));
    // std::string keeps a NUL after size(), so minLength characters plus the NUL fit.
    return &m_text[0];
}

void CString::ReleaseBuffer(int newLength) {
    size_t room = m_text.size();
    size_t length = newLength < 0 ? std::strlen(m_text.c_str()) : static_cast<size_t>(newLength);
    m_text.resize(length < room ? length : room);
}

CString operator+(const CString& a, const CString& b) { return CString(a.Str() + b.Str()); }
CString operator+(const CString& a, const char* b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const char* a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(const CString& a, char b) {
    CString r(a);
    r += b;
    return r;
}
CString operator+(char a, const CString& b) {
    CString r(a);
    r += b;
    return r;
}

bool operator==(const CString& a, const CString& b) { return a.Str() == b.Str(); }
bool operator==(const CString& a, const char* b) { return a.Str() == (b ? b : ""); }
bool operator==(const char* a, const CString& b) { return b == a; }
bool operator!=(const CString& a, const CString& b) { return !(a == b); }
bool operator!=(const CString& a, const char* b) { return !(a == b); }
bool operator!=(const char* a, const CString& b) { return !(b == a); }
bool operator<(const CString& a, const CString& b) { return a.Str() < b.Str(); }
