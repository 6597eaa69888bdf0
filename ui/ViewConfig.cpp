// The main view's configuration file: loaded at start-up, saved atomically.
#include "persist/Config.h"
#include "persist/DiagEvents.h"
#include "ui/VantrelView.h"

void CVantrelView::LoadConfiguration() {
    LoadConfigurationFile(
        m_strConfigPath,
        [this](CFile& file, CReadProblems* problems) { m_connections.Read(file, &m_strFileRev, problems); },
        &m_configLoad);
}

BOOL CVantrelView::SaveConfiguration() {
    if (m_strConfigPath.IsEmpty()) return FALSE;  // never loaded: nothing to stand for
    if (!m_configLoad.MaySave()) return FALSE;    // a broken original that could not be kept
    CMemFile memory;
    m_connections.Write(memory, m_strFileRev);
    BOOL ok = memory.Close() &&
              ReplaceFileContents(m_strConfigPath, memory.GetData(), static_cast<DWORD>(memory.GetLength()));
    if (!ok) DiagLog::LogSaveFailed(static_cast<const char*>(m_strConfigPath));
    return ok;
}
