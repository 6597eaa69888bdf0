// The simulated tags: their table, how changing tags move at each scan, and writes.
#include "tags.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr WORD kGood = 0xC0;
const wchar_t* const kStates[] = {L"Running", L"Stopped", L"Cleaning"};

// Converts with the invariant locale so that "3.5" means the same on every machine.
HRESULT ConvertTo(VARIANT& out, const VARIANT& in, VARTYPE vt) {
    HRESULT hr = VariantChangeTypeEx(&out, const_cast<VARIANT*>(&in), LOCALE_INVARIANT, 0, vt);
    if (SUCCEEDED(hr)) return S_OK;
    return hr == DISP_E_OVERFLOW ? static_cast<HRESULT>(0xC004000BL) /* OPC_E_RANGE */
                                 : static_cast<HRESULT>(0xC0040004L) /* OPC_E_BADTYPE */;
}

Variant Initial(VARTYPE vt, double number, const wchar_t* text = nullptr) {
    Variant v;
    if (vt == VT_BSTR) {
        v.SetText(text ? text : L"");
        return v;
    }
    Variant r8;
    r8.SetR8(number);
    ConvertTo(*v.Get(), r8.Ref(), vt);
    return v;
}

TagInfo Static(const wchar_t* id, VARTYPE vt, DWORD rights = kReadable | kWriteable) {
    TagInfo i;
    i.id = id;
    i.type = vt;
    i.rights = rights;
    return i;
}

TagInfo Moving(const wchar_t* id, VARTYPE vt, Behaviour b, double period = 0) {
    TagInfo i;
    i.id = id;
    i.type = vt;
    i.behaviour = b;
    i.period = period;
    return i;
}

TagInfo Analog(TagInfo i, double low, double high) {
    i.analog = true;
    i.euLow = low;
    i.euHigh = high;
    return i;
}

TagInfo Control(const wchar_t* id, VARTYPE vt, ControlKind kind) {
    TagInfo i = Static(id, vt);
    i.control = kind;
    return i;
}

}  // namespace

FILETIME UtcNow() {
    FILETIME ft;
    GetSystemTimeAsFileTime(&ft);
    return ft;
}

Simulation& Simulation::instance() {
    static Simulation s;
    return s;
}

Simulation::Simulation() {
    m_startTick = GetTickCount64();
    const auto H = Space::Hierarchical;
    const auto F = Space::Flat;
    Variant zeroR8 = Initial(VT_R8, 0);

    // Hierarchical space: changing plant values.
    add(H, L"Plant.Line1.Temp", Analog(Moving(L"Plant.Line1.Temp", VT_R8, Behaviour::Sine, 10), 0, 100), zeroR8.Ref(),
        kGood);
    add(H, L"Plant.Line1.Level", Analog(Moving(L"Plant.Line1.Level", VT_R8, Behaviour::Ramp), 0, 100), zeroR8.Ref(),
        kGood);
    add(H, L"Plant.Line1.Counter", Moving(L"Plant.Line1.Counter", VT_I4, Behaviour::Counter), Initial(VT_I4, 0).Ref(),
        kGood);
    add(H, L"Plant.Line1.Random", Analog(Moving(L"Plant.Line1.Random", VT_R8, Behaviour::Random), 0, 100), zeroR8.Ref(),
        kGood);
    add(H, L"Plant.Line2.Pressure", Analog(Moving(L"Plant.Line2.Pressure", VT_R4, Behaviour::Sine, 20), 0, 10),
        Initial(VT_R4, 0).Ref(), kGood);
    add(H, L"Plant.Line2.Running", Moving(L"Plant.Line2.Running", VT_BOOL, Behaviour::Toggle, 2),
        Initial(VT_BOOL, 1).Ref(), kGood);
    add(H, L"Plant.Line2.State", Moving(L"Plant.Line2.State", VT_BSTR, Behaviour::TextCycle, 3),
        Initial(VT_BSTR, 0, kStates[0]).Ref(), kGood);

    // Static writable tags, one per type.
    add(H, L"Static.I1", Static(L"Static.I1", VT_I1), Initial(VT_I1, -8).Ref(), kGood);
    add(H, L"Static.I2", Static(L"Static.I2", VT_I2), Initial(VT_I2, -1600).Ref(), kGood);
    add(H, L"Static.I4", Static(L"Static.I4", VT_I4), Initial(VT_I4, -320000).Ref(), kGood);
    add(H, L"Static.UI1", Static(L"Static.UI1", VT_UI1), Initial(VT_UI1, 200).Ref(), kGood);
    add(H, L"Static.UI2", Static(L"Static.UI2", VT_UI2), Initial(VT_UI2, 60000).Ref(), kGood);
    add(H, L"Static.UI4", Static(L"Static.UI4", VT_UI4), Initial(VT_UI4, 4000000000.0).Ref(), kGood);
    add(H, L"Static.INT", Static(L"Static.INT", VT_INT), Initial(VT_INT, -42).Ref(), kGood);
    add(H, L"Static.UINT", Static(L"Static.UINT", VT_UINT), Initial(VT_UINT, 42).Ref(), kGood);
    add(H, L"Static.R4", Static(L"Static.R4", VT_R4), Initial(VT_R4, 3.25).Ref(), kGood);
    add(H, L"Static.R8", Static(L"Static.R8", VT_R8), Initial(VT_R8, 1234.5678).Ref(), kGood);
    add(H, L"Static.BSTR", Static(L"Static.BSTR", VT_BSTR), Initial(VT_BSTR, 0, L"Hello").Ref(), kGood);
    add(H, L"Static.BOOL", Static(L"Static.BOOL", VT_BOOL), Initial(VT_BOOL, 1).Ref(), kGood);
    add(H, L"Static.DATE", Static(L"Static.DATE", VT_DATE), Initial(VT_DATE, 45306.5 /* 2024-01-15 12:00 */).Ref(),
        kGood);
    add(H, L"Static.CY", Static(L"Static.CY", VT_CY), Initial(VT_CY, 12.3456).Ref(), kGood);
    add(H, L"Static.ReadOnly", Static(L"Static.ReadOnly", VT_R8, kReadable), Initial(VT_R8, 42).Ref(), kGood);

    // Fixed qualities; the value is the quality code.
    const struct {
        const wchar_t* id;
        WORD q;
    } qualities[] = {{L"Quality.Good", 0xC0},          {L"Quality.Bad", 0x00},         {L"Quality.Uncertain", 0x40},
                     {L"Quality.LocalOverride", 0xD8}, {L"Quality.ConfigError", 0x04}, {L"Quality.CommFailure", 0x18},
                     {L"Quality.LastUsable", 0x44}};
    for (const auto& q : qualities) add(H, q.id, Static(q.id, VT_I4, kReadable), Initial(VT_I4, q.q).Ref(), q.q);

    // Device tags whose item ids are not their browse paths.
    add(H, L"Devices.Boiler.Pressure", Analog(Moving(L"DEV:boiler/pressure", VT_R8, Behaviour::Sine, 30), 0, 16),
        zeroR8.Ref(), kGood);
    add(H, L"Devices.Boiler.Flow", Analog(Moving(L"DEV:boiler/flow", VT_R8, Behaviour::Sine, 7), 0, 500), zeroR8.Ref(),
        kGood);

    // Flat space.
    add(F, L"Ramp1", Analog(Moving(L"Ramp1", VT_R8, Behaviour::Ramp), 0, 100), zeroR8.Ref(), kGood);
    add(F, L"Sine1", Analog(Moving(L"Sine1", VT_R8, Behaviour::Sine, 10), 0, 100), zeroR8.Ref(), kGood);
    add(F, L"Counter1", Moving(L"Counter1", VT_I4, Behaviour::Counter), Initial(VT_I4, 0).Ref(), kGood);
    add(F, L"Random1", Analog(Moving(L"Random1", VT_R8, Behaviour::Random), 0, 100), zeroR8.Ref(), kGood);
    add(F, L"Switch1", Moving(L"Switch1", VT_BOOL, Behaviour::Toggle, 2), Initial(VT_BOOL, 1).Ref(), kGood);
    add(F, L"Text1", Moving(L"Text1", VT_BSTR, Behaviour::TextCycle, 3), Initial(VT_BSTR, 0, kStates[0]).Ref(), kGood);
    add(F, L"Setpoint1", Analog(Static(L"Setpoint1", VT_R8), 0, 100), Initial(VT_R8, 50).Ref(), kGood);

    // Control tags: one set for the whole process, listed in both spaces.
    m_controls[ControlKind::Shutdown] =
        addShared(L"Control.Shutdown", Control(L"Control.Shutdown", VT_BSTR, ControlKind::Shutdown),
                  Initial(VT_BSTR, 0, L"").Ref());
    m_controls[ControlKind::RefuseGroups] =
        addShared(L"Control.RefuseGroups", Control(L"Control.RefuseGroups", VT_BOOL, ControlKind::RefuseGroups),
                  Initial(VT_BOOL, 0).Ref());
    m_controls[ControlKind::RefuseItems] =
        addShared(L"Control.RefuseItems", Control(L"Control.RefuseItems", VT_BOOL, ControlKind::RefuseItems),
                  Initial(VT_BOOL, 0).Ref());
    m_controls[ControlKind::RefuseWrites] =
        addShared(L"Control.RefuseWrites", Control(L"Control.RefuseWrites", VT_BOOL, ControlKind::RefuseWrites),
                  Initial(VT_BOOL, 0).Ref());
    m_controls[ControlKind::BigBranchSize] =
        addShared(L"Control.BigBranchSize", Control(L"Control.BigBranchSize", VT_I4, ControlKind::BigBranchSize),
                  Initial(VT_I4, 0).Ref());
    // Controls for benchmarks and failure tests: added by id, never listed by browsing.
    m_controls[ControlKind::BigPeriodMs] =
        addHidden(Control(L"Control.BigPeriodMs", VT_I4, ControlKind::BigPeriodMs), Initial(VT_I4, 0).Ref());
    m_controls[ControlKind::HangSeconds] =
        addHidden(Control(L"Control.HangSeconds", VT_I4, ControlKind::HangSeconds), Initial(VT_I4, 0).Ref());

    // Bring the changing tags to their first values.
    scan();
}

Tag* Simulation::add(Space space, const std::wstring& path, TagInfo info, const VARIANT& initial, WORD quality) {
    m_tags.push_back(std::make_unique<Tag>(std::move(info)));
    Tag* tag = m_tags.back().get();
    setLocked(*tag, initial, quality, UtcNow());
    m_ids[int(space)][tag->info.id] = tag;
    m_placements[int(space)].push_back({path, tag});
    return tag;
}

Tag* Simulation::addHidden(TagInfo info, const VARIANT& initial) {
    m_tags.push_back(std::make_unique<Tag>(std::move(info)));
    Tag* tag = m_tags.back().get();
    setLocked(*tag, initial, kGood, UtcNow());
    m_ids[int(Space::Hierarchical)][tag->info.id] = tag;
    m_ids[int(Space::Flat)][tag->info.id] = tag;
    return tag;
}

Tag* Simulation::addShared(const std::wstring& path, TagInfo info, const VARIANT& initial) {
    Tag* tag = add(Space::Hierarchical, path, std::move(info), initial, kGood);
    m_ids[int(Space::Flat)][tag->info.id] = tag;
    m_placements[int(Space::Flat)].push_back({tag->info.id, tag});
    return tag;
}

std::wstring Simulation::bigLeafId(long index) {
    wchar_t buf[32];
    std::swprintf(buf, 32, L"Big.T%05ld", index);
    return buf;
}

const std::vector<TagPlacement>& Simulation::placements(Space space) const { return m_placements[int(space)]; }

Tag* Simulation::find(Space space, const std::wstring& id) {
    std::lock_guard<std::mutex> lock(m_lock);
    auto it = m_ids[int(space)].find(id);
    if (it != m_ids[int(space)].end()) return it->second;
    // Big.Tnnnnn: exactly five digits, below the current branch size.
    if (space != Space::Hierarchical || id.size() != 10 || id.compare(0, 5, L"Big.T") != 0) return nullptr;
    long index = 0;
    for (size_t i = 5; i < 10; ++i) {
        if (id[i] < L'0' || id[i] > L'9') return nullptr;
        index = index * 10 + (id[i] - L'0');
    }
    if (index >= m_controls[ControlKind::BigBranchSize]->m_state.value.Ref().lVal) return nullptr;
    auto leaf = m_bigLeaves.find(index);
    if (leaf != m_bigLeaves.end()) return leaf->second.get();
    TagInfo info = Moving(id.c_str(), VT_R8, Behaviour::BigLeaf, 2 + index % 9);
    auto tag = std::make_unique<Tag>(std::move(info));
    Tag* raw = tag.get();
    m_bigLeaves.emplace(index, std::move(tag));
    const double seconds = (GetTickCount64() - m_startTick) / 1000.0;
    raw->m_state.quality = kGood;
    advanceLocked(*raw, seconds, UtcNow());
    return raw;
}

Sample Simulation::read(const Tag& tag) {
    std::lock_guard<std::mutex> lock(m_lock);
    return tag.m_state;
}

void Simulation::setLocked(Tag& tag, const VARIANT& value, WORD quality, const FILETIME& now) {
    Sample& s = tag.m_state;
    if (s.value.Vt() == value.vt && SameValue(s.value.Ref(), value) && s.quality == quality) return;
    s.value = Variant(value);
    s.quality = quality;
    s.stamp = now;
}

void Simulation::advanceLocked(Tag& tag, double seconds, const FILETIME& now) {
    const TagInfo& i = tag.info;
    const VARIANT& cur = tag.m_state.value.Ref();
    Variant next;
    switch (i.behaviour) {
        case Behaviour::Static:
            return;
        case Behaviour::Sine: {
            double x = i.euLow + (i.euHigh - i.euLow) * (0.5 + 0.5 * std::sin(2 * kPi * seconds / i.period));
            if (i.type == VT_R4)
                next.SetR4(static_cast<float>(x));
            else
                next.SetR8(x);
            break;
        }
        case Behaviour::Ramp: {
            double step = (i.euHigh - i.euLow) / 100.0;
            double x = cur.dblVal + step;
            next.SetR8(x > i.euHigh + step / 2 ? i.euLow : x);
            break;
        }
        case Behaviour::Counter:
            next.SetI4(cur.lVal == 0x7FFFFFFF ? 0 : cur.lVal + 1);
            break;
        case Behaviour::Random:
            next.SetR8(std::uniform_real_distribution<double>(i.euLow, i.euHigh)(m_random));
            break;
        case Behaviour::Toggle:
            next.SetBool(static_cast<long long>(seconds / i.period) % 2 == 0);
            break;
        case Behaviour::TextCycle:
            next.SetText(kStates[static_cast<long long>(seconds / i.period) % 3]);
            break;
        case Behaviour::BigLeaf: {
            // Leaf n steps every period seconds between n and n + 9.5; Control.BigPeriodMs, when
            // set, gives every leaf that period instead (below one scan: a step every scan).
            long index = std::wcstol(i.id.c_str() + 5, nullptr, 10);
            const long common = m_controls[ControlKind::BigPeriodMs]->m_state.value.Ref().lVal;
            const double period = common > 0 ? std::max(common, static_cast<long>(kScanMs)) / 1000.0 : i.period;
            next.SetR8(index + 0.5 * (static_cast<long long>(seconds / period) % 20));
            break;
        }
    }
    setLocked(tag, next.Ref(), tag.m_state.quality, now);
}

void Simulation::scan() {
    std::lock_guard<std::mutex> lock(m_lock);
    const double seconds = (GetTickCount64() - m_startTick) / 1000.0;
    const FILETIME now = UtcNow();
    for (auto& t : m_tags) advanceLocked(*t, seconds, now);
    for (auto& b : m_bigLeaves) advanceLocked(*b.second, seconds, now);
}

HRESULT Simulation::write(Tag& tag, const VARIANT& value) {
    const TagInfo& i = tag.info;
    if (!(i.rights & kWriteable)) return static_cast<HRESULT>(0xC0040006L);  // OPC_E_BADRIGHTS
    Variant converted;
    HRESULT hr = ConvertTo(*converted.Get(), value, i.type);
    if (i.control == ControlKind::Shutdown && FAILED(hr)) {
        converted.SetText(L"");  // any value asks for a shutdown
        hr = S_OK;
    }
    if (FAILED(hr)) return hr;
    const long limit = i.control == ControlKind::BigBranchSize ? kMaxBigBranchSize
                       : i.control == ControlKind::BigPeriodMs ? kMaxBigPeriodMs
                       : i.control == ControlKind::HangSeconds ? kMaxHangSeconds
                                                               : -1;
    if (limit >= 0 && (converted.Ref().lVal < 0 || converted.Ref().lVal > limit))
        return static_cast<HRESULT>(0xC004000BL);  // OPC_E_RANGE

    std::lock_guard<std::mutex> lock(m_lock);
    if (i.control == ControlKind::None && flagLocked(ControlKind::RefuseWrites)) return E_FAIL;
    tag.m_state.value = converted;
    tag.m_state.stamp = UtcNow();
    if (i.control == ControlKind::Shutdown) {
        const BSTR text = converted.Ref().bstrVal;
        m_shutdownReason = (text && *text) ? text : L"The Quorvane simulation server was asked to shut down";
        m_shutdownPending = true;
        m_shutdownDue = GetTickCount64() + 100;  // after the write's reply has gone out
    }
    if (i.control == ControlKind::HangSeconds) {
        // Calls arriving from now on wait; the write itself has passed the gate and answers.
        const long n = converted.Ref().lVal;
        m_hangUntil = n > 0 ? GetTickCount64() + 1000ULL * n : 0;
    }
    return S_OK;
}

bool Simulation::flagLocked(ControlKind kind) {
    const VARIANT& v = m_controls[kind]->m_state.value.Ref();
    return v.vt == VT_BOOL && v.boolVal != VARIANT_FALSE;
}

bool Simulation::refuseGroups() {
    std::lock_guard<std::mutex> lock(m_lock);
    return flagLocked(ControlKind::RefuseGroups);
}

bool Simulation::refuseItems() {
    std::lock_guard<std::mutex> lock(m_lock);
    return flagLocked(ControlKind::RefuseItems);
}

long Simulation::bigBranchSize() {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_controls[ControlKind::BigBranchSize]->m_state.value.Ref().lVal;
}

void Simulation::waitOutHang() {
    for (;;) {
        ULONGLONG until;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            until = m_hangUntil;
        }
        const ULONGLONG now = GetTickCount64();
        if (until <= now) return;
        Sleep(static_cast<DWORD>(std::min<ULONGLONG>(until - now, 200)));
    }
}

bool Simulation::takeShutdownRequest(std::wstring& reason) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_shutdownPending || GetTickCount64() < m_shutdownDue) return false;
    m_shutdownPending = false;
    reason = m_shutdownReason;
    return true;
}

bool SameValue(const VARIANT& a, const VARIANT& b) {
    if (a.vt != b.vt) return false;
    switch (a.vt) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_I1:
            return a.cVal == b.cVal;
        case VT_UI1:
            return a.bVal == b.bVal;
        case VT_I2:
            return a.iVal == b.iVal;
        case VT_UI2:
            return a.uiVal == b.uiVal;
        case VT_BOOL:
            return (a.boolVal != 0) == (b.boolVal != 0);
        case VT_I4:
        case VT_INT:
        case VT_ERROR:
            return a.lVal == b.lVal;
        case VT_UI4:
        case VT_UINT:
            return a.ulVal == b.ulVal;
        case VT_I8:
            return a.llVal == b.llVal;
        case VT_UI8:
            return a.ullVal == b.ullVal;
        case VT_R4:
            return a.fltVal == b.fltVal;
        case VT_R8:
        case VT_DATE:
            return a.dblVal == b.dblVal;
        case VT_CY:
            return a.cyVal.int64 == b.cyVal.int64;
        case VT_BSTR:
            return SysStringLen(a.bstrVal) == SysStringLen(b.bstrVal) &&
                   std::wmemcmp(a.bstrVal ? a.bstrVal : L"", b.bstrVal ? b.bstrVal : L"", SysStringLen(a.bstrVal)) == 0;
        default:
            return VarCmp(const_cast<VARIANT*>(&a), const_cast<VARIANT*>(&b), LOCALE_INVARIANT, 0) == VARCMP_EQ;
    }
}

double AsDouble(const VARIANT& v) {
    VARIANT r8;
    VariantInit(&r8);
    if (FAILED(VariantChangeTypeEx(&r8, const_cast<VARIANT*>(&v), LOCALE_INVARIANT, 0, VT_R8))) return 0;
    return r8.dblVal;
}

}  // namespace sim
