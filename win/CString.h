#pragma once
// An 8-bit text in the system ANSI code page, with the operations of the framework's
// CString that this program uses. Backed by std::string, so a text may hold any bytes;
// the C-string view (operator const char*) ends at the first NUL.
//
// Index arguments are checked: positions outside the text are clamped (Left, Mid,
// Find) or answered with 0 (GetAt, operator[]), never read or written out of bounds.
// Threading: none of its own; a CString belongs to one thread at a time.
#include <string>

class CString {
  public:
    CString() = default;
    CString(const char* text);  // NOLINT: implicit on purpose, as in the framework
    CString(const char* text, int length);
    explicit CString(char ch, int repeat = 1);
    CString(const std::string& text) : m_text(text) {}  // NOLINT

    CString& operator=(const char* text);
    CString& operator=(char ch);

    // The text as a NUL-terminated C string; valid until the next change.
    operator const char*() const { return m_text.c_str(); }
    const std::string& Str() const { return m_text; }

    int GetLength() const { return static_cast<int>(m_text.size()); }
    bool IsEmpty() const { return m_text.empty(); }
    void Empty() { m_text.clear(); }

    // The byte at index, or 0 when the index lies outside the text.
    char GetAt(int index) const;
    char operator[](int index) const { return GetAt(index); }

    CString& operator+=(const CString& other);
    CString& operator+=(const char* text);
    CString& operator+=(char ch);

    // printf-style formatting of any length. An invalid format leaves the text empty.
    void Format(const char* format, ...)
#if defined(__GNUC__) || defined(__clang__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    CString Left(int count) const;
    CString Mid(int first) const;
    CString Mid(int first, int count) const;

    // Index of the first occurrence at or after start, or -1.
    int Find(char ch, int start = 0) const;
    int Find(const char* sub, int start = 0) const;
    int ReverseFind(char ch) const;

    // Direct access for C APIs: GetBuffer(n) gives room for at least n characters plus a
    // NUL; ReleaseBuffer(-1) then takes the length up to the first NUL, ReleaseBuffer(n)
    // exactly n characters (clamped to the room given).
    char* GetBuffer(int minLength);
    void ReleaseBuffer(int newLength = -1);

  private:
    std::string m_text;
};

CString operator+(const CString& a, const CString& b);
CString operator+(const CString& a, const char* b);
CString operator+(const char* a, const CString& b);
CString operator+(const CString& a, char b);
CString operator+(char a, const CString& b);

bool operator==(const CString& a, const CString& b);
bool operator==(const CString& a, const char* b);
bool operator==(const char* a, const CString& b);
bool operator!=(const CString& a, const CString& b);
bool operator!=(const CString& a, const char* b);
bool operator!=(const char* a, const CString& b);
bool operator<(const CString& a, const CString& b);
