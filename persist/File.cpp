#include "persist/File.h"

#include <cstring>

CFile::~CFile() = default;

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
