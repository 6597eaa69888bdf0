#pragma once
// The start-up load of the configuration file, and what it found.
//
// A file that did not read cleanly (persist/KeyValue.h names what that covers) is kept
// before anything is written over it: as quorvane.cfg.bak when there is none yet, or when
// that one holds the same bytes; otherwise beside it as quorvane.cfg.bak-YYYYMMDD-HHMMSS
// (local time; "-2", "-3", ... added on a clash). So no .bak is ever replaced, and every
// broken original stays until the user removes it. When no copy could be made, saves are
// refused for the whole run, so the original stays as it was.
//
// The problems are logged (persist/DiagEvents.h) and summed up in one notice for the user,
// shown without a blocking box.
//
// Threading: the user-interface thread only.
#include <windows.h>

#include <functional>

#include "persist/KeyValue.h"
#include "win/CString.h"

// Reads the whole file, recording what did not read cleanly in problems.
using ConfigReader = std::function<void(CFile& file, CReadProblems* problems)>;

class CConfigLoadReport {
  public:
    BOOL IsClean() const { return m_problems.IsClean(); }
    // FALSE when the file was broken and could not be kept: it must not be replaced.
    BOOL MaySave() const { return !m_bKeepFailed; }
    // Empty when the file read cleanly; else the lines skipped and where the original is.
    CString NoticeText() const;

    // The notice holds the status line for kNoticeHoldMs from its first display.
    static const DWORD kNoticeHoldMs = 20000;
    void NoticeShown() { m_dwNoticeShownAt = ::GetTickCount(); }
    BOOL HoldsStatusLine() const {
        return !IsClean() && m_dwNoticeShownAt != 0 && ::GetTickCount() - m_dwNoticeShownAt < kNoticeHoldMs;
    }

  private:
    friend void LoadConfigurationFile(const char*, const ConfigReader&, CConfigLoadReport*);
    CReadProblems m_problems;
    CString m_strKeptAs;
    BOOL m_bKeepFailed = FALSE;
    DWORD m_dwNoticeShownAt = 0;
};

// Hands the file at path to read (no file: nothing is read, clean) and keeps a broken
// original as described above. Also starts the diagnostic log beside it.
void LoadConfigurationFile(const char* path, const ConfigReader& read, CConfigLoadReport* report);

// Keeps size bytes of data, the content of the file at path, as described above.
// Answers the name used, or empty when no copy could be written.
CString KeepBrokenOriginal(const char* path, const void* data, DWORD size);
