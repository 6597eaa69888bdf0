#include "persist/ConfigLoad.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

#include "persist/Config.h"
#include "persist/DiagEvents.h"
#include "persist/DiagLog.h"

namespace {

bool ReadWholeFile(const char* path, std::vector<BYTE>* bytes) {
    HANDLE h =
        ::CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size;
    bool ok = ::GetFileSizeEx(h, &size) && size.QuadPart < static_cast<LONGLONG>(CMemFile::kMaxLength);
    if (ok) {
        bytes->resize(static_cast<size_t>(size.QuadPart));
        DWORD read = 0;
        ok = bytes->empty() ||
             (::ReadFile(h, bytes->data(), static_cast<DWORD>(bytes->size()), &read, nullptr) && read == bytes->size());
    }
    ::CloseHandle(h);
    return ok;
}

bool Exists(const char* path) { return ::GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES; }

CString DirectoryOf(const char* path) {
    CString full(path);
    int slash = full.ReverseFind('\\');
    return slash >= 0 ? full.Left(slash + 1) : CString();
}

}  // namespace

CString KeepBrokenOriginal(const char* path, const void* data, DWORD size) {
    CString bak = CString(path) + ".bak";
    if (Exists(bak)) {
        std::vector<BYTE> old;
        if (ReadWholeFile(bak, &old) && old.size() == size && (size == 0 || memcmp(old.data(), data, size) == 0))
            return bak;  // kept before
        SYSTEMTIME t;
        ::GetLocalTime(&t);
        char stamp[40];
        wsprintfA(stamp, ".bak-%04u%02u%02u-%02u%02u%02u", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
        bak = CString(path) + stamp;
        for (int n = 2; Exists(bak); ++n) {
            char suffix[16];
            wsprintfA(suffix, "-%d", n);
            bak = CString(path) + stamp + suffix;
        }
    }
    return ReplaceFileContents(bak, data, size) ? bak : CString();
}

CString CConfigLoadReport::NoticeText() const {
    if (IsClean()) return CString();
    CString text = m_problems.NoticeText(3);
    if (m_bKeepFailed)
        text += ". The file could not be kept and will not be replaced.";
    else
        text += ". The original is kept as " + m_strKeptAs.Mid(m_strKeptAs.ReverseFind('\\') + 1) + ".";
    return text;
}

void LoadConfigurationFile(const char* path, const ConfigReader& read, CConfigLoadReport* report) {
    DiagLog::Open(std::string(static_cast<const char*>(DirectoryOf(path))) + "quorvane.log");
    DiagLog::LogStart(path);
    std::vector<BYTE> bytes;
    if (!ReadWholeFile(path, &bytes)) return;  // no file: no connections
    CMemFile file(bytes.data(), static_cast<UINT>(bytes.size()));
    read(file, &report->m_problems);
    if (report->IsClean()) return;

    for (const CReadProblem& p : report->m_problems.Items())
        DiagLog::LogConfigProblem(p.line, static_cast<const char*>(p.text));
    report->m_strKeptAs = KeepBrokenOriginal(path, bytes.data(), static_cast<DWORD>(bytes.size()));
    report->m_bKeepFailed = report->m_strKeptAs.IsEmpty();
    DiagLog::LogConfigBackup(
        report->m_bKeepFailed ? std::string(path) + ".bak" : std::string(static_cast<const char*>(report->m_strKeptAs)),
        !report->m_bKeepFailed);
}
