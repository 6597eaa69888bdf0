#pragma once
// Whether an OPC item id can be a row of the bridge: linked by DDE clients and kept in
// the configuration file. Portable, both builds.
//
// A DDE item name is a global atom, at most 255 characters. The configuration keeps an
// id as one "TagName = <id>" line, which a longer id or a CR or LF inside it would cut or
// break, so that it came back as another id.
#include <cstddef>

const size_t kMaxLinkedItemId = 255;

enum class ItemIdFit {
    kFits,
    kEmpty,
    kTooLongForLink,    // over kMaxLinkedItemId characters
    kTooLongForConfig,  // its configuration line would be cut
    kLineBreak,         // holds a CR or LF
};

// The id as the program holds it: 8-bit characters, `length` of them.
ItemIdFit CheckItemId(const char* id, size_t length);

// A sentence for the user ("The item id is longer than 255 characters."); "" for kFits.
const char* ItemIdFitText(ItemIdFit fit);
