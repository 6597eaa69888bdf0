#include "persist/File.h"

#include <cstring>

namespace {

#ifdef _WIN32
long long Tell(std::FILE* f) { return _ftelli64(f); }
int SeekTo(std::FILE* f, long long offset, int whence) { return _fseeki64(f, offset, whence); }
#else
long long Tell(std::FILE* f) { return ftello(f); }
int SeekTo(std::FILE* f, long long offset, int whence) { return fseeko(f, offset, whence); }
#endif

int Whence(UINT from) {
    switch (from) {
        case CFile::begin:
            return SEEK_SET;
        case CFile::current:
            return SEEK_CUR;
        case CFile::end:
            return SEEK_END;
        default:
            return -1;
    }
}

}  // namespace

CFile::~CFile() = default;

// ---- CDiskFile ----------------------------------------------------------------------

CDiskFile::~CDiskFile() { Close(); }

BOOL CDiskFile::Open(const char* path, UINT flags) {
    Close();
    if (!path) return FALSE;
    const char* mode = nullptr;
    switch (flags & ~static_cast<UINT>(typeBinary)) {
        case modeRead:
            mode = "rb";
            break;
        case modeCreate | modeWrite:
            mode = "wb";
            break;
        case modeWrite:
            mode = "r+b";
            break;
        default:
            return FALSE;
    }
    m_file = std::fopen(path, mode);
    m_bWriteFailed = false;
    return m_file ? TRUE : FALSE;
}

UINT CDiskFile::Read(void* buffer, UINT count) {
    if (!m_file || !buffer || count == 0) return 0;
    return static_cast<UINT>(std::fread(buffer, 1, count, m_file));
}

void CDiskFile::Write(const void* buffer, UINT count) {
    if (!m_file || !buffer) {
        m_bWriteFailed = m_bWriteFailed || count != 0;
        return;
    }
    if (count && std::fwrite(buffer, 1, count, m_file) != count) m_bWriteFailed = true;
}

ULONGLONG CDiskFile::GetPosition() const {
    if (!m_file) return 0;
    long long at = Tell(m_file);
    return at < 0 ? 0 : static_cast<ULONGLONG>(at);
}

ULONGLONG CDiskFile::Seek(LONGLONG offset, UINT from) {
    int whence = Whence(from);
    if (m_file && whence >= 0) SeekTo(m_file, offset, whence);
    return GetPosition();
}

ULONGLONG CDiskFile::GetLength() const {
    if (!m_file) return 0;
    long long at = Tell(m_file);
    if (at < 0 || SeekTo(m_file, 0, SEEK_END) != 0) return 0;
    long long length = Tell(m_file);
    SeekTo(m_file, at, SEEK_SET);
    return length < 0 ? 0 : static_cast<ULONGLONG>(length);
}

BOOL CDiskFile::Close() {
    if (!m_file) return TRUE;
    bool closed = std::fclose(m_file) == 0;  // also flushes what is still buffered
    bool ok = closed && !m_bWriteFailed;
    m_file = nullptr;
    m_bWriteFailed = false;
    return ok ? TRUE : FALSE;
}

// ---- CMemFile -----------------------------------------------------------------------

CMemFile::CMemFile(const void* data, UINT size) {
    if (data && size) {
        const BYTE* bytes = static_cast<const BYTE*>(data);
        m_data.assign(bytes, bytes + size);
    }
}

UINT CMemFile::Read(void* buffer, UINT count) {
    if (!buffer || m_position >= m_data.size()) return 0;
    ULONGLONG left = m_data.size() - m_position;
    UINT n = left < count ? static_cast<UINT>(left) : count;
    std::memcpy(buffer, m_data.data() + m_position, n);
    m_position += n;
    return n;
}

void CMemFile::Write(const void* buffer, UINT count) {
    if (count == 0) return;
    if (!buffer || m_position + count > kMaxLength) {
        m_bWriteFailed = true;
        return;
    }
    if (m_position + count > m_data.size()) m_data.resize(static_cast<size_t>(m_position + count));
    std::memcpy(m_data.data() + m_position, buffer, count);
    m_position += count;
}

ULONGLONG CMemFile::Seek(LONGLONG offset, UINT from) {
    LONGLONG base;
    switch (from) {
        case begin:
            base = 0;
            break;
        case current:
            base = static_cast<LONGLONG>(m_position);
            break;
        case end:
            base = static_cast<LONGLONG>(m_data.size());
            break;
        default:
            return m_position;
    }
    // Both are far below the limits of LONGLONG, so the sum cannot overflow unless offset
    // itself is near them; such offsets are refused first.
    if (offset > static_cast<LONGLONG>(kMaxLength) || offset < -static_cast<LONGLONG>(kMaxLength)) return m_position;
    LONGLONG target = base + offset;
    if (target >= 0 && static_cast<ULONGLONG>(target) <= m_data.size()) m_position = static_cast<ULONGLONG>(target);
    return m_position;
}
