#include "app/VantrelDoc.h"

IMPLEMENT_DYNCREATE(CVantrelDoc)

BOOL CVantrelDoc::OnNewDocument() {
    if (!CDocument::OnNewDocument()) return FALSE;
    SetTitle("");
    return TRUE;
}
