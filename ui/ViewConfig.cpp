// The main view's configuration file: loaded at start-up, saved atomically.
#include "persist/Config.h"
#include "ui/VantrelView.h"

void CVantrelView::LoadConfiguration() {
    CDiskFile file;
    if (!file.Open(m_strConfigPath, CFile::modeRead)) return;  // no file: no connections
    m_connections.Read(file, &m_strFileRev);
    file.Close();
}

BOOL CVantrelView::SaveConfiguration() {
    if (m_strConfigPath.IsEmpty()) return FALSE;  // never loaded: nothing to stand for
    CMemFile memory;
    m_connections.Write(memory, m_strFileRev);
    if (!memory.Close()) return FALSE;
    return ReplaceFileContents(m_strConfigPath, memory.GetData(), static_cast<DWORD>(memory.GetLength()));
}
