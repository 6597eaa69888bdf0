#include "opc/DdeName.h"

#include <functional>

#include "persist/ItemId.h"

std::string FoldDdeName(const char* name) {
    std::string folded(name != nullptr ? name : "");
    if (!folded.empty()) ::CharLowerBuffA(&folded[0], static_cast<DWORD>(folded.size()));
    return folded;
}

size_t HashDdeName(const char* name) { return std::hash<std::string>()(FoldDdeName(name)); }

std::string DdeNameText(DWORD idInst, HSZ hsz) {
    char text[kMaxLinkedItemId + 1] = {};
    if (idInst == 0 || hsz == nullptr) return {};
    ::DdeQueryStringA(idInst, hsz, text, sizeof text, CP_WINANSI);
    return text;
}
