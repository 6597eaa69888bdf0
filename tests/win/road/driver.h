#pragma once
// Driving quorvane.exe's real windows from the test process the way a user does: modal
// dialogs found by caption while they run, fields filled, buttons pressed, tree nodes
// opened and chosen, list rows clicked and dragged with synthesized mouse and keyboard
// input, and the clipboard read back.
//
// Messages whose arguments point to memory (tree items, item rectangles) are sent with
// buffers inside the program's own address space. Input goes through SendInput, so the
// program sees real button and key states (drag detection, accelerators, OLE's drag loop).
// Threading: the test's thread only.
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "tests/win/support/app.h"

namespace road {

using qvtest::Dialogs;
using qvtest::FindTopWindow;
using qvtest::MessageBoxText;
using qvtest::RemoteBuffer;
using qvtest::RemoteItemText;
using qvtest::TextOf;
using qvtest::WaitForDialog;
using qvtest::WaitGone;
using qvtest::WaitUntil;

bool SetTextOf(HWND h, const std::string& text);
// A button press as the dialog receives it (also Esc's IDCANCEL). Presses only enabled
// buttons, as a user can; false otherwise.
bool Press(HWND dlg, int id);
// A key pressed in a control, posted so that the dialog's own loop translates it.
void PostKey(HWND h, UINT vk);

std::vector<std::string> ComboItems(HWND combo);
// Chooses list entry `index` of combo `id` as a user's pick: selection, then the
// selection-change notification to the dialog.
bool ChooseComboItem(HWND dlg, int id, int index);

// The browser's tree in the program's process.
class RemoteTree {
  public:
    RemoteTree(HANDLE process, HWND tree) : process_(process), tree_(tree) {}
    HTREEITEM Root() const;
    std::vector<HTREEITEM> Children(HTREEITEM h) const;
    std::vector<std::string> ChildTexts(HTREEITEM h) const;
    std::string Text(HTREEITEM h) const;
    // The node reached from the root by child texts, e.g. {"Plant", "Line1", "Temp"}.
    HTREEITEM Find(const std::vector<std::string>& path) const;
    bool Expand(HTREEITEM h) const;
    bool Select(HTREEITEM h) const;
    // Selects the node and double-clicks it with the mouse, and returns once the tree has
    // handled the click (see Settle).
    bool DoubleClick(HTREEITEM h) const;
    // Returns once the tree's thread has handled every message posted to it so far: a
    // message that changes nothing visible is posted behind them and its effect awaited.
    bool Settle() const;

  private:
    LRESULT Send(UINT msg, WPARAM wp, LPARAM lp) const;
    HANDLE process_;
    HWND tree_;
};

// A list-view row's bounds in the list's client coordinates.
std::optional<RECT> ListRowRect(HANDLE process, HWND list, int row);
int ListCount(HWND list);
// The tab's header rectangle in the tab control's client coordinates.
std::optional<RECT> TabRect(HANDLE process, HWND tab, int index);
std::string TabText(HANDLE process, HWND tab, int index);

// The clipboard as text (CF_TEXT), or nothing when it holds none; its raw bytes (to see
// the zero byte).
std::optional<std::string> ClipboardText();
std::optional<std::string> ClipboardTextBytes();
bool SetClipboardText(const std::string& text);

// Synthesized input at screen positions.
POINT ClientToScreenPoint(HWND h, int x, int y);
void MouseMoveTo(POINT screen);
void MouseButton(bool right, bool down);
void Click(HWND h, int x, int y, bool right = false);  // client coordinates of h
// A key with modifiers (VK_CONTROL, VK_SHIFT) held, to the foreground window.
void KeyChord(std::vector<WORD> modifiers, WORD vk);
// Brings the window to the front so that keys reach it.
bool BringToFront(HWND h);

}  // namespace road
