#pragma once
// quorvane.exe run by a test: started in its own AppFolder, its main window found by
// process id and title, its form's controls pressed and read across the process
// boundary, and closed the way a user closes it (WM_CLOSE), with the process awaited.
// Control ids are those of res/resource.h.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/win/support/folder.h"
#include "tests/win/support/process.h"
#include "tests/win/support/wait.h"

namespace qvtest {

// Memory inside another process, for control messages whose pointers the target reads.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size);
    ~RemoteBuffer();
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    char* get() const { return static_cast<char*>(p_); }
    bool Write(size_t offset, const void* data, size_t n) const;
    bool Read(size_t offset, void* data, size_t n) const;

  private:
    HANDLE process_;
    void* p_;
};

// An item's text (LVITEMA, TVITEMA, TCITEMA), asked with msg into a buffer of the
// control's process: these messages are not marshalled. Empty when it does not answer.
template <typename Item>
std::string RemoteItemText(HANDLE process, HWND h, UINT msg, WPARAM wp, Item item, UINT timeoutMs = 60000) {
    const size_t textSize = 512;
    RemoteBuffer remote(process, sizeof(Item) + textSize);
    item.pszText = remote.get() + sizeof(Item);
    item.cchTextMax = int(textSize);
    const char zero = 0;
    DWORD_PTR ok = 0;
    if (!remote.Write(0, &item, sizeof item) || !remote.Write(sizeof item, &zero, 1) ||
        !SendMessageTimeoutA(h, msg, wp, LPARAM(remote.get()), SMTO_ABORTIFHUNG, timeoutMs, &ok))
        return {};
    char text[textSize] = {};
    remote.Read(sizeof(Item), text, textSize - 1);
    return text;
}

// A window's text (across processes), or empty.
std::string TextOf(HWND h);
// Visible top-level dialogs (#32770) of the process, in z-order.
std::vector<HWND> Dialogs(DWORD pid);
// The visible top-level window of the process with this exact caption and class.
HWND FindTopWindow(DWORD pid, const std::string& caption, const char* className = "#32770");
HWND WaitForDialog(DWORD pid, const std::string& caption, DWORD timeoutMs = 10000);
bool WaitGone(HWND h, DWORD timeoutMs = 10000);
// The message text of a message box (its static 0xFFFF).
std::string MessageBoxText(HWND box);
// "caption: message" of a message box the process shows, or empty.
std::string FindMessageBox(DWORD pid);

class QuorvaneApp {
  public:
    QuorvaneApp() = default;
    ~QuorvaneApp();  // ends the process if a test left it running
    QuorvaneApp(const QuorvaneApp&) = delete;
    QuorvaneApp& operator=(const QuorvaneApp&) = delete;

    // Copies the program into a fresh folder, writes the configuration text (none when
    // empty) and starts the program there; waits for its main window.
    ::testing::AssertionResult Start(const std::string& configText, DWORD timeoutMs = 20000);
    // Waits until the DDE service answers a connect on `topic`.
    ::testing::AssertionResult WaitForTopic(const std::string& topic, DWORD timeoutMs = 15000);
    // Whether the DDE service answers a connect on `topic` now.
    bool HasTopic(const std::string& topic);
    // Closes the main window with WM_CLOSE and waits for the process to end.
    ::testing::AssertionResult Close(DWORD timeoutMs = 15000);

    const AppFolder& folder() const { return folder_; }
    ChildProcess& process() { return process_; }
    DWORD pid() const { return process_.pid(); }
    HWND mainWindow() const { return main_; }

    // The control with this id anywhere below the main window (null if none).
    HWND Control(int id) const;
    // BM_CLICK on a button, as a mouse click would do; false if there is no such control
    // or the program did not answer within the timeout.
    bool Click(int id, DWORD timeoutMs = 5000) const;
    std::string Text(int id) const;
    bool Enabled(int id) const;

    // The list rows of IDC_ITEM_LIST: each row's cells (tag name, value, quality, timestamp).
    std::vector<std::vector<std::string>> ListRows(int columns = 4) const;
    int TabCount() const;
    int SelectedTab() const;

  private:
    bool FindMainWindow(DWORD timeoutMs);
    int TabAnswer(UINT msg, int failed) const;  // the tab control's answer to msg

    AppFolder folder_;
    ChildProcess process_;
    HWND main_ = nullptr;
};

}  // namespace qvtest
