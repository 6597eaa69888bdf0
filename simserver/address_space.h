#pragma once
// The browse trees of the two address spaces, built once from the tag table.
//
// Threading: the trees never change after construction, so any thread may walk them
// without a lock. The Big branch is the one dynamic part: its visibility and its leaves
// come from Simulation (Control.BigBranchSize) at the moment of each call.
#include "opcda.h"
#include "tags.h"

#include <memory>
#include <string>
#include <vector>

namespace sim {

struct BrowseNode {
    std::wstring name;   // short name at its level
    std::wstring path;   // dotted path from the root; "" for the root
    Tag* tag = nullptr;  // set for leaves
    bool branch = false;
    bool big = false;  // the Big branch: leaves generated on demand
    BrowseNode* parent = nullptr;
    std::vector<std::unique_ptr<BrowseNode>> children;
};

// Names returned by a browse: stored names, then generated "<prefix>%05d" names for
// 0 .. generated-1, so that 100,000 Big leaves cost nothing until they are read.
struct NameList {
    std::vector<std::wstring> names;
    std::wstring generatedPrefix;
    long generated = 0;

    size_t size() const { return names.size() + static_cast<size_t>(generated); }
    std::wstring at(size_t i) const;
};

class AddressSpace {
  public:
    static const AddressSpace& get(Space space);

    Space space() const { return m_space; }
    const BrowseNode* root() const { return &m_root; }
    // A branch given by its dotted path ("" is the root), or nullptr.
    const BrowseNode* branch(const std::wstring& path) const;
    // A branch child of `at` by short name, or nullptr (leaves are not branches).
    const BrowseNode* childBranch(const BrowseNode* at, const std::wstring& name) const;
    // What BrowseOPCItemIDs lists at `at`. Filters: "" / VT_EMPTY / 0 mean none.
    NameList browse(const BrowseNode* at, OPCBROWSETYPE type, const std::wstring& filter, VARTYPE vt,
                    DWORD rights) const;
    // The item id of a name at `at`: a leaf gives its item id, a branch its dotted path,
    // "" the position itself; a full item id of the space is accepted as it is.
    bool itemId(const BrowseNode* at, const std::wstring& name, std::wstring& id) const;

  private:
    explicit AddressSpace(Space space);
    bool bigVisible(const BrowseNode* node) const;
    void listFlat(const BrowseNode* at, const std::wstring& filter, VARTYPE vt, DWORD rights, NameList& out) const;
    void addBigLeaves(const std::wstring& prefix, const std::wstring& filter, VARTYPE vt, DWORD rights,
                      NameList& out) const;

    Space m_space;
    BrowseNode m_root;
};

// OPC browse filter syntax: '*' any run, '?' one character, '#' one digit; case-insensitive.
bool MatchesFilter(const std::wstring& text, const std::wstring& pattern);

}  // namespace sim
