#include "tests/win/road/driver.h"

#include <cstring>

namespace road {
namespace {

// Paces synthesized input (drag detection and OLE's drag loop look at the time between
// moves), serving the thread's messages meanwhile. Not a wait for an outcome.
void PumpFor(DWORD ms) {
    const ULONGLONG end = GetTickCount64() + ms;
    qvtest::WaitUntil([&] { return GetTickCount64() >= end; }, ms + 1000);
}

// A control's rectangle message, answered in a buffer of the control's process.
std::optional<RECT> RemoteRect(HANDLE process, HWND h, UINT msg, WPARAM wp, RECT rc) {
    RemoteBuffer remote(process, sizeof(RECT));
    DWORD_PTR ok = 0;
    if (!remote.Write(0, &rc, sizeof rc) ||
        !SendMessageTimeoutA(h, msg, wp, LPARAM(remote.get()), SMTO_ABORTIFHUNG, 5000, &ok) || !ok ||
        !remote.Read(0, &rc, sizeof rc))
        return std::nullopt;
    return rc;
}

}  // namespace

bool SetTextOf(HWND h, const std::string& text) {
    DWORD_PTR r = 0;
    return h != nullptr &&
           SendMessageTimeoutA(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()), SMTO_ABORTIFHUNG, 5000, &r);
}

bool Press(HWND dlg, int id) {
    HWND button = GetDlgItem(dlg, id);
    if (button != nullptr && !IsWindowEnabled(button)) return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(button));
}

void PostKey(HWND h, UINT vk) {
    PostMessageA(h, WM_KEYDOWN, vk, 1);
    PostMessageA(h, WM_KEYUP, vk, 0xC0000001);
}

std::vector<std::string> ComboItems(HWND combo) {
    std::vector<std::string> items;
    DWORD_PTR count = 0;
    if (!SendMessageTimeoutA(combo, CB_GETCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &count)) return items;
    for (int i = 0; i < int(count); ++i) {
        // CB_GETLBTEXT is marshalled like WM_GETTEXT; across processes Wine hands the
        // text over in UTF-16 whatever the sender's character set, so ask for that.
        WCHAR wide[512] = {};
        DWORD_PTR n = 0;
        SendMessageTimeoutW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(wide), SMTO_ABORTIFHUNG, 5000, &n);
        char buf[1024] = {};
        WideCharToMultiByte(CP_ACP, 0, wide, -1, buf, sizeof buf, nullptr, nullptr);
        items.emplace_back(buf);
    }
    return items;
}

bool ChooseComboItem(HWND dlg, int id, int index) {
    HWND combo = GetDlgItem(dlg, id);
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(combo, CB_SETCURSEL, index, 0, SMTO_ABORTIFHUNG, 5000, &r) || LONG_PTR(r) != index)
        return false;
    return PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

LRESULT RemoteTree::Send(UINT msg, WPARAM wp, LPARAM lp) const {
    DWORD_PTR r = 0;
    if (!SendMessageTimeoutA(tree_, msg, wp, lp, SMTO_ABORTIFHUNG, 60000, &r)) return 0;
    return LRESULT(r);
}

HTREEITEM RemoteTree::Root() const { return HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_ROOT, 0)); }

std::vector<HTREEITEM> RemoteTree::Children(HTREEITEM h) const {
    std::vector<HTREEITEM> out;
    for (HTREEITEM c = HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_CHILD, LPARAM(h))); c != nullptr;
         c = HTREEITEM(Send(TVM_GETNEXTITEM, TVGN_NEXT, LPARAM(c))))
        out.push_back(c);
    return out;
}

std::vector<std::string> RemoteTree::ChildTexts(HTREEITEM h) const {
    std::vector<std::string> out;
    for (HTREEITEM c : Children(h)) out.push_back(Text(c));
    return out;
}

std::string RemoteTree::Text(HTREEITEM h) const {
    TVITEMA item{};
    item.mask = TVIF_TEXT | TVIF_HANDLE;
    item.hItem = h;
    return RemoteItemText(process_, tree_, TVM_GETITEMA, 0, item);
}

HTREEITEM RemoteTree::Find(const std::vector<std::string>& path) const {
    HTREEITEM at = Root();
    for (const std::string& part : path) {
        HTREEITEM next = nullptr;
        for (HTREEITEM c : Children(at))
            if (Text(c) == part) {
                next = c;
                break;
            }
        if (next == nullptr) return nullptr;
        at = next;
    }
    return at;
}

// Posted, as a click comes: a sent expansion would be let in while the program waits on a
// server call (COM serves sent messages then), where a browse of the same server is refused.
bool RemoteTree::Expand(HTREEITEM h) const {
    PostMessageA(tree_, TVM_EXPAND, TVE_EXPAND, LPARAM(h));
    return Settle() && (Send(TVM_GETITEMSTATE, WPARAM(h), TVIS_EXPANDED) & TVIS_EXPANDED) != 0;
}

bool RemoteTree::Select(HTREEITEM h) const { return Send(TVM_SELECTITEM, TVGN_CARET, LPARAM(h)) != 0; }

bool RemoteTree::DoubleClick(HTREEITEM h) const {
    if (!Select(h)) return false;
    Send(TVM_ENSUREVISIBLE, 0, LPARAM(h));
    RECT item{};
    std::memcpy(&item, &h, sizeof h);  // TVM_GETITEMRECT takes the item in the rectangle
    std::optional<RECT> rc = RemoteRect(process_, tree_, TVM_GETITEMRECT, TRUE, item);
    if (!rc) return false;
    LPARAM at = MAKELPARAM((rc->left + rc->right) / 2, (rc->top + rc->bottom) / 2);
    PostMessageA(tree_, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageA(tree_, WM_LBUTTONUP, 0, at);
    return Settle();
}

bool RemoteTree::Settle() const {
    static COLORREF mark = 0x010101;
    mark = (mark + 0x010203) & 0xFFFFFF;
    const COLORREF want = mark;
    PostMessageA(tree_, TVM_SETINSERTMARKCOLOR, 0, LPARAM(want));
    return WaitUntil([&] { return COLORREF(Send(TVM_GETINSERTMARKCOLOR, 0, 0)) == want; }, 20000);
}

std::optional<RECT> ListRowRect(HANDLE process, HWND list, int row) {
    return RemoteRect(process, list, LVM_GETITEMRECT, row, {LVIR_BOUNDS, 0, 0, 0});
}

int ListCount(HWND list) {
    DWORD_PTR n = 0;
    return SendMessageTimeoutA(list, LVM_GETITEMCOUNT, 0, 0, SMTO_ABORTIFHUNG, 5000, &n) ? int(n) : -1;
}

std::optional<RECT> TabRect(HANDLE process, HWND tab, int index) {
    return RemoteRect(process, tab, TCM_GETITEMRECT, index, {});
}

std::string TabText(HANDLE process, HWND tab, int index) {
    TCITEMA item{};
    item.mask = TCIF_TEXT;
    return RemoteItemText(process, tab, TCM_GETITEMA, index, item);
}

namespace {

// The clipboard, open for one scope; another process may hold it for a moment.
class OpenedClipboard {
  public:
    OpenedClipboard() {
        open_ = qvtest::WaitUntil([] { return OpenClipboard(nullptr) != FALSE; }, 5000);
    }
    ~OpenedClipboard() {
        if (open_) CloseClipboard();
    }
    bool ok() const { return open_; }

  private:
    bool open_ = false;
};

}  // namespace

std::optional<std::string> ClipboardTextBytes() {
    OpenedClipboard cb;
    if (!cb.ok()) return std::nullopt;
    HANDLE h = GetClipboardData(CF_TEXT);
    if (h == nullptr) return std::nullopt;
    const char* p = static_cast<const char*>(GlobalLock(h));
    if (p == nullptr) return std::nullopt;
    std::string bytes(p, GlobalSize(h));
    GlobalUnlock(h);
    return bytes;
}

std::optional<std::string> ClipboardText() {
    std::optional<std::string> bytes = ClipboardTextBytes();
    if (!bytes) return std::nullopt;
    return std::string(bytes->c_str());
}

bool SetClipboardText(const std::string& text) {
    OpenedClipboard cb;
    if (!cb.ok()) return false;
    EmptyClipboard();
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    if (h == nullptr) return false;
    std::memcpy(GlobalLock(h), text.c_str(), text.size() + 1);
    GlobalUnlock(h);
    if (SetClipboardData(CF_TEXT, h) == nullptr) {
        GlobalFree(h);
        return false;
    }
    return true;
}

POINT ClientToScreenPoint(HWND h, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(h, &pt);
    return pt;
}

void MouseMoveTo(POINT screen) {
    SetCursorPos(screen.x, screen.y);
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = screen.x * 65535 / (GetSystemMetrics(SM_CXSCREEN) - 1);
    in.mi.dy = screen.y * 65535 / (GetSystemMetrics(SM_CYSCREEN) - 1);
    in.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof in);
    PumpFor(30);
}

void MouseButton(bool right, bool down) {
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dwFlags = right ? (down ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_RIGHTUP)
                          : (down ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_LEFTUP);
    SendInput(1, &in, sizeof in);
    PumpFor(30);
}

void Click(HWND h, int x, int y, bool right) {
    MouseMoveTo(ClientToScreenPoint(h, x, y));
    MouseButton(right, true);
    MouseButton(right, false);
}

void KeyChord(std::vector<WORD> modifiers, WORD vk) {
    std::vector<INPUT> keys;
    auto key = [&](WORD k, bool up) {
        INPUT in{};
        in.type = INPUT_KEYBOARD;
        in.ki.wVk = k;
        in.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
        if (k == VK_DELETE || k == VK_INSERT) in.ki.dwFlags |= KEYEVENTF_EXTENDEDKEY;
        keys.push_back(in);
    };
    for (WORD m : modifiers) key(m, false);
    key(vk, false);
    key(vk, true);
    for (auto it = modifiers.rbegin(); it != modifiers.rend(); ++it) key(*it, true);
    SendInput(UINT(keys.size()), keys.data(), sizeof(INPUT));
    PumpFor(50);
}

bool BringToFront(HWND h) {
    SetForegroundWindow(h);
    return WaitUntil([&] { return GetForegroundWindow() == h; }, 3000);
}

}  // namespace road
