// The configuration file's atomic replacement on disk.
#include "persist/Config.h"

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
