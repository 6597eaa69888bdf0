#pragma once
// The simulated tags and their values, shared by every client of the process.
//
// Threading: one Simulation per process. Its mutex guards every tag's live state, the
// lazily made Big leaves and the control state; tag descriptions (TagInfo) never change
// after creation and Tag objects are never destroyed before the process ends, so a Tag*
// may be kept and read without the lock. Only the worker thread calls scan(); any thread
// may read, write or look up tags.
#include "com_util.h"

#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <unordered_map>
#include <vector>

namespace sim {

enum class Space { Hierarchical, Flat };

// What one registered class offers on top of its address space.
struct Flavour {
    Space space = Space::Hierarchical;
    bool browsing = true;  // IOPCBrowseServerAddressSpace
    bool da1 = false;      // DA 1.0 only: groups deliver through IDataObject, no 2.0 interfaces
};

enum class Behaviour { Static, Sine, Ramp, Counter, Random, Toggle, TextCycle, BigLeaf };

enum class ControlKind {
    None,
    Shutdown,
    RefuseGroups,
    RefuseItems,
    RefuseWrites,
    BigBranchSize,
    BigPeriodMs,
    HangSeconds
};

constexpr DWORD kReadable = 0x01;           // OPC_READABLE
constexpr DWORD kWriteable = 0x02;          // OPC_WRITEABLE
constexpr long kMaxBigBranchSize = 100000;  // leaf names have five digits
constexpr long kMaxBigPeriodMs = 3600000;
constexpr long kMaxHangSeconds = 600;

struct TagInfo {
    std::wstring id;
    VARTYPE type = VT_EMPTY;
    DWORD rights = kReadable;
    bool analog = false;  // EU type OPC_ANALOG with the range below
    double euLow = 0, euHigh = 0;
    Behaviour behaviour = Behaviour::Static;
    double period = 0;  // seconds, for the time-driven behaviours
    ControlKind control = ControlKind::None;
};

struct Sample {
    Variant value;
    WORD quality = 0;
    FILETIME stamp{};
};

class Tag {
  public:
    explicit Tag(TagInfo i) : info(std::move(i)) {}
    const TagInfo info;

  private:
    friend class Simulation;
    Sample m_state;  // guarded by Simulation's mutex
};

// Definition of one browse entry: dotted path, the item id when it differs, and the tag.
struct TagPlacement {
    std::wstring path;
    Tag* tag;
};

class Simulation {
  public:
    static Simulation& instance();

    // The tag for an item id of the space, or nullptr. Big leaves are made on first use,
    // and only while their index is below Control.BigBranchSize.
    Tag* find(Space space, const std::wstring& id);
    // Browse layout: every fixed tag of a space with its dotted browse path, in order.
    const std::vector<TagPlacement>& placements(Space space) const;

    Sample read(const Tag& tag);
    // Stores a written value converted to the tag's type; applies control side effects.
    // Returns S_OK or the per-item OPC error.
    HRESULT write(Tag& tag, const VARIANT& value);

    // Advances the changing tags by one scan (worker thread).
    void scan();
    static constexpr DWORD kScanMs = 50;

    bool refuseGroups();
    bool refuseItems();
    long bigBranchSize();
    // Blocks the calling thread while a hang asked for by Control.HangSeconds lasts.
    void waitOutHang();
    // A shutdown request whose moment has come: true once per Control.Shutdown write.
    bool takeShutdownRequest(std::wstring& reason);

    static std::wstring bigLeafId(long index);

  private:
    Simulation();
    Tag* add(Space space, const std::wstring& path, TagInfo info, const VARIANT& initial, WORD quality);
    Tag* addShared(const std::wstring& path, TagInfo info, const VARIANT& initial);
    Tag* addHidden(TagInfo info, const VARIANT& initial);  // in both spaces, not browsed
    void setLocked(Tag& tag, const VARIANT& value, WORD quality, const FILETIME& now);
    void advanceLocked(Tag& tag, double seconds, const FILETIME& now);
    bool flagLocked(ControlKind kind);

    std::mutex m_lock;
    std::vector<std::unique_ptr<Tag>> m_tags;
    std::map<long, std::unique_ptr<Tag>> m_bigLeaves;
    std::unordered_map<std::wstring, Tag*> m_ids[2];
    std::vector<TagPlacement> m_placements[2];
    std::map<ControlKind, Tag*> m_controls;
    ULONGLONG m_startTick = 0;
    std::mt19937 m_random{20261207u};
    bool m_shutdownPending = false;
    ULONGLONG m_shutdownDue = 0;
    std::wstring m_shutdownReason;
    ULONGLONG m_hangUntil = 0;  // GetTickCount64 time; 0: no hang
};

// Control.HangSeconds: every incoming call (at the top of each interface method) and every
// worker pass waits here while a hang lasts, so the server looks stopped to its clients.
inline void HangGate() { Simulation::instance().waitOutHang(); }

// Compares two values of the same tag (same canonical type).
bool SameValue(const VARIANT& a, const VARIANT& b);
// The value as a double, for deadband checks of analog tags.
double AsDouble(const VARIANT& v);
FILETIME UtcNow();

}  // namespace sim
