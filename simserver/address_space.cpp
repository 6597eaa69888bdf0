// Browse trees of the hierarchical and the flat address space.
#include "address_space.h"

#include <cwctype>

namespace sim {
namespace {

const wchar_t kBigBranch[] = L"Big";

BrowseNode* AddChild(BrowseNode* parent, const std::wstring& name, bool branch) {
    auto node = std::make_unique<BrowseNode>();
    node->name = name;
    node->path = parent->path.empty() ? name : parent->path + L"." + name;
    node->branch = branch;
    node->parent = parent;
    parent->children.push_back(std::move(node));
    return parent->children.back().get();
}

bool LeafPasses(const Tag& tag, VARTYPE vt, DWORD rights) {
    return (vt == VT_EMPTY || tag.info.type == vt) && (tag.info.rights & rights) == rights;
}

}  // namespace

std::wstring NameList::at(size_t i) const {
    if (i < names.size()) return names[i];
    wchar_t digits[16];
    swprintf(digits, 16, L"%05ld", static_cast<long>(i - names.size()));
    return generatedPrefix + digits;
}

const AddressSpace& AddressSpace::get(Space space) {
    static const AddressSpace hierarchical(Space::Hierarchical);
    static const AddressSpace flat(Space::Flat);
    return space == Space::Flat ? flat : hierarchical;
}

AddressSpace::AddressSpace(Space space) : m_space(space) {
    m_root.branch = true;
    for (const TagPlacement& p : Simulation::instance().placements(space)) {
        BrowseNode* at = &m_root;
        size_t start = 0;
        // In the flat space names are the item ids, dots and all.
        for (size_t dot; space == Space::Hierarchical && (dot = p.path.find(L'.', start)) != std::wstring::npos;
             start = dot + 1) {
            const std::wstring part = p.path.substr(start, dot - start);
            const BrowseNode* found = childBranch(at, part);
            at = found ? const_cast<BrowseNode*>(found) : AddChild(at, part, true);
        }
        AddChild(at, p.path.substr(start), false)->tag = p.tag;
    }
    if (space == Space::Hierarchical) {
        AddChild(&m_root, L"Empty", true);
        AddChild(&m_root, kBigBranch, true)->big = true;
    }
}

bool AddressSpace::bigVisible(const BrowseNode* node) const {
    return !node->big || Simulation::instance().bigBranchSize() > 0;
}

const BrowseNode* AddressSpace::childBranch(const BrowseNode* at, const std::wstring& name) const {
    for (const auto& c : at->children)
        if (c->branch && c->name == name && bigVisible(c.get())) return c.get();
    return nullptr;
}

const BrowseNode* AddressSpace::branch(const std::wstring& path) const {
    const BrowseNode* at = &m_root;
    if (path.empty() || m_space == Space::Flat) return path.empty() ? at : nullptr;
    for (size_t start = 0;;) {
        const size_t dot = path.find(L'.', start);
        at = childBranch(at, path.substr(start, dot == std::wstring::npos ? std::wstring::npos : dot - start));
        if (!at || dot == std::wstring::npos) return at;
        start = dot + 1;
    }
}

void AddressSpace::addBigLeaves(const std::wstring& prefix, const std::wstring& filter, VARTYPE vt, DWORD rights,
                                NameList& out) const {
    const long n = Simulation::instance().bigBranchSize();
    if (n <= 0 || !(vt == VT_EMPTY || vt == VT_R8) || (kReadable & rights) != rights) return;
    if (filter.empty() || filter == L"*") {
        out.generatedPrefix = prefix;
        out.generated = n;
        return;
    }
    NameList all;
    all.generatedPrefix = prefix;
    all.generated = n;
    for (size_t i = 0; i < all.size(); ++i) {
        std::wstring name = all.at(i);
        if (MatchesFilter(name, filter)) out.names.push_back(std::move(name));
    }
}

void AddressSpace::listFlat(const BrowseNode* at, const std::wstring& filter, VARTYPE vt, DWORD rights,
                            NameList& out) const {
    for (const auto& c : at->children) {
        if (c->big) {
            if (bigVisible(c.get())) addBigLeaves(L"Big.T", filter, vt, rights, out);
        } else if (c->branch) {
            listFlat(c.get(), filter, vt, rights, out);
        } else if (LeafPasses(*c->tag, vt, rights) && MatchesFilter(c->tag->info.id, filter)) {
            out.names.push_back(c->tag->info.id);
        }
    }
}

NameList AddressSpace::browse(const BrowseNode* at, OPCBROWSETYPE type, const std::wstring& filter, VARTYPE vt,
                              DWORD rights) const {
    NameList out;
    if (m_space == Space::Flat || type == OPC_FLAT) {
        if (at->big)
            addBigLeaves(L"Big.T", filter, vt, rights, out);
        else
            listFlat(at, filter, vt, rights, out);
        return out;
    }
    if (at->big) {
        if (type == OPC_LEAF) addBigLeaves(L"T", filter, vt, rights, out);
        return out;
    }
    for (const auto& c : at->children) {
        if (!bigVisible(c.get()) || !MatchesFilter(c->name, filter)) continue;
        if (type == OPC_BRANCH && c->branch) out.names.push_back(c->name);
        if (type == OPC_LEAF && !c->branch && LeafPasses(*c->tag, vt, rights)) out.names.push_back(c->name);
    }
    return out;
}

bool AddressSpace::itemId(const BrowseNode* at, const std::wstring& name, std::wstring& id) const {
    if (name.empty()) {
        id = at->path;
        return true;
    }
    if (at->big) {
        std::wstring full = std::wstring(kBigBranch) + L"." + name;
        if (Simulation::instance().find(m_space, full)) {
            id = full;
            return true;
        }
        return false;
    }
    for (const auto& c : at->children) {
        if (c->name != name || !bigVisible(c.get())) continue;
        id = c->branch ? c->path : c->tag->info.id;
        return true;
    }
    if (Simulation::instance().find(m_space, name)) {
        id = name;
        return true;
    }
    return false;
}

bool MatchesFilter(const std::wstring& text, const std::wstring& pattern) {
    if (pattern.empty()) return true;
    size_t t = 0, p = 0, starP = std::wstring::npos, starT = 0;
    auto same = [](wchar_t a, wchar_t b) { return std::towupper(a) == std::towupper(b); };
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            starP = p++;
            starT = t;
        } else if (p < pattern.size() && (pattern[p] == L'?' || (pattern[p] == L'#' && std::iswdigit(text[t])) ||
                                          (pattern[p] != L'#' && same(pattern[p], text[t])))) {
            ++p;
            ++t;
        } else if (starP != std::wstring::npos) {
            p = starP + 1;
            t = ++starT;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') ++p;
    return p == pattern.size();
}

}  // namespace sim
