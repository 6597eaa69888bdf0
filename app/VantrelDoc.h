#pragma once
// The document the framework's document/view structure needs. It holds no data: the live
// state is in the main view's connections and is stored in the configuration file.
#include "win/Document.h"

class CVantrelDoc : public CDocument {
    DECLARE_DYNCREATE(CVantrelDoc)

  public:
    CVantrelDoc() = default;
    // A new document has an empty title, so that the frame shows "Quorvane" alone.
    BOOL OnNewDocument() override;
};
