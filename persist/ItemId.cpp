#include "persist/ItemId.h"

#include <cstring>

#include "persist/KeyValue.h"

namespace {

// The key an item's line is written under (see opc/ConnectionRecords.cpp), and the room its
// value has: the writer keeps kLineBufferSize - 3 bytes of "<key> = <value>".
const size_t kItemKeyLength = sizeof "TagName" - 1;
const size_t kMaxStoredItemId = kLineBufferSize - 3 - kItemKeyLength - 3;

}  // namespace

ItemIdFit CheckItemId(const char* id, size_t length) {
    if (!id || length == 0) return ItemIdFit::kEmpty;
    if (std::memchr(id, '\r', length) || std::memchr(id, '\n', length)) return ItemIdFit::kLineBreak;
    if (length > kMaxStoredItemId) return ItemIdFit::kTooLongForConfig;
    if (length > kMaxLinkedItemId) return ItemIdFit::kTooLongForLink;
    return ItemIdFit::kFits;
}

const char* ItemIdFitText(ItemIdFit fit) {
    switch (fit) {
        case ItemIdFit::kFits:
            return "";
        case ItemIdFit::kEmpty:
            return "The item id is empty.";
        case ItemIdFit::kTooLongForLink:
            return "The item id is longer than 255 characters, the most a DDE link can name.";
        case ItemIdFit::kTooLongForConfig:
            return "The item id is longer than a line of the configuration file can hold.";
        case ItemIdFit::kLineBreak:
            return "The item id holds a line break, which the configuration file cannot keep.";
    }
    return "";
}
