// Clicks, right clicks, drags and deletes on the item list of the running program, with
// real mouse and keyboard input, and the clipboard read back.
#include <gtest/gtest.h>

#include <ole2.h>

#include "tests/win/road/road_env.h"

namespace {

using namespace road;
using Names = std::vector<std::string>;

const char kSentinel[] = "clipboard before";

// A window of this process that takes OLE drops, as a spreadsheet cell takes a dragged
// link: it keeps the CF_TEXT global block a drop offers and the effects the source allows.
// It lives on the test's stack, beyond its registration, so it counts no references.
class DropWindow final : public IDropTarget {
  public:
    DropWindow(int x, int y) {  // screen position; needs OLE on this thread
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "RoadDropWindow";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(WS_EX_TOPMOST, wc.lpszClassName, "Drop here", WS_POPUP | WS_VISIBLE | WS_BORDER, x, y,
                                160, 120, nullptr, nullptr, wc.hInstance, nullptr);
        registered = hwnd_ != nullptr && SUCCEEDED(RegisterDragDrop(hwnd_, this));
    }
    ~DropWindow() {
        if (registered) RevokeDragDrop(hwnd_);
        if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    }
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        *ppv = riid == IID_IUnknown || riid == IID_IDropTarget ? static_cast<IDropTarget*>(this) : nullptr;
        return *ppv != nullptr ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override {
        entered = true;
        *effect = DROPEFFECT_MOVE;
        return S_OK;
    }
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override {
        *effect = DROPEFFECT_MOVE;
        return S_OK;
    }
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override {
        ++drops;
        allowed = *effect;
        FORMATETC f{CF_TEXT, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM m{};
        if (SUCCEEDED(data->GetData(&f, &m))) {
            if (const char* p = m.tymed == TYMED_HGLOBAL ? static_cast<const char*>(GlobalLock(m.hGlobal)) : nullptr) {
                hglobal.assign(p, GlobalSize(m.hGlobal));
                GlobalUnlock(m.hGlobal);
            }
            ReleaseStgMedium(&m);
        }
        *effect = DROPEFFECT_MOVE;  // a move: the source must not lose its row for it
        return S_OK;
    }

    bool registered = false, entered = false;
    int drops = 0;
    DWORD allowed = 0;
    std::string hglobal;

  private:
    HWND hwnd_ = nullptr;
};

class Link : public ::testing::Test {
  protected:
    void Launch(const std::vector<qvtest::ConfigConnection>& connections) {
        ASSERT_TRUE(app.Launch(connections));
        ASSERT_TRUE(app.WaitForValues(15000)) << app.AnswerMessageBox(100);
        list = app.Control(IDC_ITEM_LIST);
        ASSERT_TRUE(BringToFront(app.mainWindow()));
    }
    // A click `rowsBelow` row heights below row `row`, handled.
    void ClickBelow(int row, int rowsBelow, bool right) {
        std::optional<RECT> rc = ListRowRect(app.processHandle(), list, row);
        ASSERT_TRUE(rc);
        road::Click(list, rc->left + 20, rc->bottom + rowsBelow * (rc->bottom - rc->top) + 2, right);
        ASSERT_TRUE(app.Settle());  // an open menu would take the click on Suspend
    }

    Program app;
    HWND list = nullptr;
};

TEST_F(Link, ClickCopiesThePlainLinkAndArmsOneDelete) {
    Launch({Connection("Line1", {"Plant.Line1.Temp", "Static.R8", "Static.I4"})});
    ASSERT_TRUE(SetClipboardText(kSentinel));

    ASSERT_TRUE(app.ClickRow(1));
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.R8")) << ClipboardText().value_or("(none)");
    std::string bytes = ClipboardTextBytes().value_or("");
    ASSERT_GT(bytes.size(), 25u);
    EXPECT_EQ(bytes[25], '\0');

    // Shift+Delete removes the clicked row; a second delete finds no row armed.
    ASSERT_TRUE(app.Cut(true));
    ASSERT_TRUE(app.RowsBecome({"Plant.Line1.Temp", "Static.I4"})) << app.RowNames().size();
    ASSERT_TRUE(app.Cut());
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "Static.I4"}));

    // The last row of a list whose rows all fit; then Ctrl+X.
    ASSERT_TRUE(app.ClickRow(1));
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.I4"));
    ASSERT_TRUE(app.Cut());
    ASSERT_TRUE(app.RowsBecome({"Plant.Line1.Temp"}));
    EXPECT_EQ(app.Text(IDC_CONNECT), "Connect to OPC Server");

    // Below the rows, left or right: nothing copied, nothing armed, no menu.
    SetClipboardText(kSentinel);
    for (bool right : {false, true}) ClickBelow(0, 2, right);
    EXPECT_EQ(FindTopWindow(app.pid(), "", "#32768"), nullptr);
    EXPECT_EQ(ClipboardText(), kSentinel);
    ASSERT_TRUE(app.Cut(true));
    EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp"}));

    // A right click copies the link and opens the menu; its "&Delete" removes the row, and
    // with the last item gone the button offers to disconnect.
    ASSERT_TRUE(app.ClickRow(0, true));
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Plant.Line1.Temp"));
    ASSERT_TRUE(WaitUntil([&] { return FindTopWindow(app.pid(), "", "#32768") != nullptr; }, 5000));
    KeyChord({}, 'D');
    ASSERT_TRUE(app.RowsBecome({}));
    EXPECT_TRUE(WaitUntil([&] { return app.Text(IDC_CONNECT) == "Disconnect from Server"; }, 5000));
}

TEST_F(Link, OnlyFullyVisibleRowsCount) {
    Names items;
    for (const char* n :
         {"I1", "I2", "I4", "UI1", "UI2", "UI4", "INT", "UINT", "R4", "R8", "BSTR", "BOOL", "DATE", "CY", "ReadOnly"})
        items.push_back(std::string("Static.") + n);
    for (const char* n : {"Good", "Bad", "Uncertain", "LocalOverride", "ConfigError", "CommFailure", "LastUsable"})
        items.push_back(std::string("Quality.") + n);
    Launch({Connection("Many", items)});
    DWORD_PTR perPage = 0;
    SendMessageTimeoutA(list, LVM_GETCOUNTPERPAGE, 0, 0, SMTO_ABORTIFHUNG, 5000, &perPage);
    ASSERT_GT(int(perPage), 1);
    ASSERT_LT(int(perPage), int(items.size()));
    RECT client;
    GetClientRect(list, &client);
    std::optional<RECT> partial = ListRowRect(app.processHandle(), list, int(perPage));
    ASSERT_TRUE(partial);
    if (partial->top + 2 >= client.bottom) GTEST_SKIP() << "the list shows no partly visible row";

    // The last fully visible row copies its link ...
    ASSERT_TRUE(app.ClickRow(int(perPage) - 1));
    ASSERT_TRUE(ClipboardBecomes("=Quorvane|Many!" + items[perPage - 1]));
    // ... the partly visible one below it copies nothing and disarms the delete.
    SetClipboardText(kSentinel);
    road::Click(list, partial->left + 20, (partial->top + client.bottom) / 2);
    ASSERT_TRUE(app.Settle());
    EXPECT_EQ(ClipboardText(), kSentinel);
    ASSERT_TRUE(app.Cut());
    EXPECT_EQ(app.RowNames().size(), items.size());
}

TEST_F(Link, DragOffersTheQuotedLinkAndLeavesTheRow) {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    {
        Launch({Connection("Line1", {"Plant.Line1.Temp", "Static.R8"})});
        RECT main;
        GetWindowRect(app.mainWindow(), &main);
        DropWindow target(main.right + 20, main.top + 50);
        ASSERT_TRUE(target.registered);

        // A click arms row 1 for deletion; the drag of row 0 disarms it again.
        ASSERT_TRUE(app.ClickRow(1));
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!Static.R8"));
        std::optional<RECT> rc = ListRowRect(app.processHandle(), list, 0);
        ASSERT_TRUE(rc);
        POINT from = ClientToScreenPoint(list, rc->left + 20, (rc->top + rc->bottom) / 2);
        MouseMoveTo(from);
        MouseButton(false, true);
        for (int step = 1; step <= 5; ++step) MouseMoveTo({from.x + 4 * step, from.y + 2 * step});
        ASSERT_TRUE(ClipboardBecomes("=Quorvane|Line1!'Plant.Line1.Temp'"));
        const POINT to{main.right + 100, main.top + 110};
        for (int step = 1; step <= 8; ++step)
            MouseMoveTo({from.x + (to.x - from.x) * step / 8, from.y + (to.y - from.y) * step / 8});
        // Released once OLE's loop has told the target the data is over it.
        ASSERT_TRUE(WaitUntil([&] { return target.entered; }, 5000));
        MouseButton(false, false);
        ASSERT_TRUE(WaitUntil([&] { return target.drops == 1; }, 10000));
        const std::string quoted = std::string("=Quorvane|Line1!'Plant.Line1.Temp'") + '\0';
        EXPECT_EQ(target.hglobal.substr(0, quoted.size()), quoted);
        EXPECT_EQ(target.allowed & (DROPEFFECT_COPY | DROPEFFECT_MOVE), DWORD(DROPEFFECT_COPY | DROPEFFECT_MOVE));

        // The move took nothing away, and the drag left no row armed.
        BringToFront(app.mainWindow());
        ASSERT_TRUE(app.Cut());
        EXPECT_EQ(app.RowNames(), (Names{"Plant.Line1.Temp", "Static.R8"}));
        EXPECT_EQ(ClipboardText(), "=Quorvane|Line1!'Plant.Line1.Temp'");
    }
    OleUninitialize();
}

}  // namespace
