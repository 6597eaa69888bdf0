#pragma once
// A window of the test process that accepts OLE drops and keeps what it was given as
// text, the way a spreadsheet cell takes a dragged link.
#include <windows.h>
#include <ole2.h>

#include <string>

namespace road {

class DropWindow {
  public:
    DropWindow(int x, int y, int cx, int cy);  // screen position; needs OLE on this thread
    ~DropWindow();
    DropWindow(const DropWindow&) = delete;
    DropWindow& operator=(const DropWindow&) = delete;

    bool registered() const { return registered_; }
    bool entered() const;  // a drag has come over the window
    int drops() const;
    // What the last drop offered as CF_TEXT in a global block (bytes as given, zero byte
    // included), and the effects the source allowed.
    std::string hglobalBytes() const;
    DWORD allowedEffects() const;

  private:
    HWND hwnd_ = nullptr;
    bool registered_ = false;
    struct Target;
    Target* target_ = nullptr;
};

}  // namespace road
