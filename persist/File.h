#pragma once
// Byte-stream files for the configuration: the abstract CFile with the operations the
// key-value format needs and a growable in-memory file.
//
// No operation throws. Read answers 0 at the end or on an error; Write records a failure
// that Close reports; Seek leaves the position where it was when it cannot move.
// Threading: none of their own; a file belongs to one thread at a time.
#include <vector>

#include "variant/variant.h"  // BYTE, UINT, BOOL, LONGLONG, ULONGLONG

class CReadProblems;

class CFile {
  public:
    enum SeekPosition { begin = 0, current = 1, end = 2 };

    CFile() = default;
    CFile(const CFile&) = delete;
    CFile& operator=(const CFile&) = delete;
    virtual ~CFile();

    // Reads up to count bytes at the position; answers how many were read.
    virtual UINT Read(void* buffer, UINT count) = 0;
    virtual void Write(const void* buffer, UINT count) = 0;
    virtual ULONGLONG GetPosition() const = 0;
    // Moves to offset relative to from (begin, current or end) and answers the position.
    virtual ULONGLONG Seek(LONGLONG offset, UINT from) = 0;
    virtual ULONGLONG GetLength() const = 0;
    // Ends the use of the file; FALSE when written data may not have reached it.
    virtual BOOL Close() = 0;

    // While set, the key-value readers record here what they could not read as expected,
    // and read past what they can (persist/KeyValue.h). Not owned.
    void SetReadProblems(CReadProblems* problems) { m_pReadProblems = problems; }
    CReadProblems* GetReadProblems() const { return m_pReadProblems; }

  private:
    CReadProblems* m_pReadProblems = nullptr;
};

// A growable file in memory. Its bytes stay readable after Close. Seeking past the end
// is refused, and so is growing beyond kMaxLength bytes (the write is then dropped and
// Close answers FALSE).
class CMemFile : public CFile {
  public:
    static constexpr ULONGLONG kMaxLength = 1ull << 30;

    CMemFile() = default;
    CMemFile(const void* data, UINT size);  // a copy of data, positioned at its start

    UINT Read(void* buffer, UINT count) override;
    void Write(const void* buffer, UINT count) override;
    ULONGLONG GetPosition() const override { return m_position; }
    ULONGLONG Seek(LONGLONG offset, UINT from) override;
    ULONGLONG GetLength() const override { return m_data.size(); }
    BOOL Close() override { return m_bWriteFailed ? FALSE : TRUE; }

    const BYTE* GetData() const { return m_data.data(); }

  private:
    std::vector<BYTE> m_data;
    ULONGLONG m_position = 0;
    bool m_bWriteFailed = false;
};
