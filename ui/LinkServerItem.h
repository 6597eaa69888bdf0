#pragma once
// The drag source of one list row: an OLE data object that offers the row's quoted DDE
// link as CF_TEXT, and the drop source that runs the drag. The text is offered twice, as
// a block rendered once and handed out in copies (TYMED_HGLOBAL) and as a stream rendered
// on request (TYMED_ISTREAM); either way the receiver gets the link and one zero byte.
//
// Ownership: one CLinkServerItem per dragged CTagItem, made on its first drag and deleted
// with the item (m_pDragItem). The COM objects it hands to OLE are reference counted and
// hold their own copy of the text, so a drop target that keeps the data object longer
// than the item lives still reads valid data.
// Threading: the user-interface thread (an OLE single-threaded apartment); the drag runs
// as a modal loop inside DoDragDrop.
#include <windows.h>
#include <ole2.h>

#include "win/CString.h"
#include "win/ObArray.h"

class CLinkServerItem : public CObject {
  public:
    explicit CLinkServerItem(const char* linkText);
    ~CLinkServerItem() override;
    CLinkServerItem(const CLinkServerItem&) = delete;
    CLinkServerItem& operator=(const CLinkServerItem&) = delete;

    // A new data object offering m_strLink (reference count 1, the caller releases it);
    // nullptr when memory runs out.
    IDataObject* OnGetClipboardData();

    // Waits until the mouse leaves pStartDragRect (a small square around the cursor when
    // nullptr) or the drag delay passes, then drags; DROPEFFECT_NONE when the button was
    // released or Esc pressed before that, or when nothing took the drop.
    DWORD DoDragDrop(DWORD allowedEffects, const RECT* pStartDragRect = nullptr);

    const CString m_strLink;  // the quoted link text, fixed at creation
};

// The bytes of text and one zero byte in a new movable global block (GMEM_MOVEABLE with
// the given extra flags); nullptr when memory runs out. The caller owns the block.
HGLOBAL AllocTextBlock(const char* text, UINT extraFlags);
