// The configuration file on disk: the main view's load at start-up and its atomic save.
#include "persist/Config.h"
#include "persist/DiagEvents.h"
#include "ui/VantrelView.h"

BOOL ReplaceFileContents(const char* path, const void* data, DWORD size) {
    // The new content goes to a file beside the old one, in the same directory so that
    // the rename below stays within one volume and is atomic.
    CString temp = CString(path) + ".new";
    HANDLE h = ::CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return FALSE;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, data, size, &written, nullptr) && written == size;
    ok = ok && ::FlushFileBuffers(h);  // on the disk before it may replace the old file
    ::CloseHandle(h);
    if (ok) ok = ::MoveFileExA(temp, path, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) ::DeleteFileA(temp);
    return ok;
}

void CVantrelView::LoadConfiguration() {
    LoadConfigurationFile(m_strConfigPath, &m_strFileRev, &m_connections, &m_configLoad);
}

BOOL CVantrelView::SaveConfiguration() {
    if (m_strConfigPath.IsEmpty()) return FALSE;  // never loaded: nothing to stand for
    if (!m_configLoad.MaySave()) return FALSE;    // a broken original that could not be kept
    CMemFile memory;
    WriteConfiguration(memory, m_strFileRev, m_connections);
    BOOL ok = memory.Close() &&
              ReplaceFileContents(m_strConfigPath, memory.GetData(), static_cast<DWORD>(memory.GetLength()));
    if (!ok) DiagLog::LogSaveFailed(static_cast<const char*>(m_strConfigPath));
    return ok;
}
