#pragma once
// A small DDEML client: one instance, its conversations, and the advises they receive.
// Used by the qvdde tool, by the tests that talk to quorvane.exe and by the benchmark.
//
// Threading: DDEML calls back on the thread that created the instance, and only while
// that thread pumps messages (here: inside NextAdvise/Pump and inside the synchronous
// transactions). A DdeClient and its conversations belong to that one thread.
// Ownership: DdeClient owns the DDEML instance (DdeUninitialize); Conversation owns its
// HCONV (DdeDisconnect) and must not outlive its client. String handles made here are
// freed at once; data handles received in callbacks belong to DDEML and are copied out.
//
// Wine: advise data in a registered clipboard format (>= 0xC000) reaches a Wine client
// only when the link was started with the sign-extended format (0xFFFFxxxx), because Wine
// labels the data that way and compares it with the link's format as given. With the fix
// on, StartAdvise/StopAdvise pass registered formats sign-extended. Also, on a fresh
// wineserver an advise start can end up with an empty item name when the item's global
// atom came and went just before (request then advise start); the client therefore keeps
// a global atom of every topic and item name it uses for the life of the process.
// And a Wine client reports a poke (or other synchronous transaction) as refused when
// advise data for a hot link of the same conversation arrives while it waits for the
// answer: poke from a conversation that holds no busy links.
#include <windows.h>
#include <ddeml.h>

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace qvdde {

// True when the program runs under Wine (ntdll exports wine_get_version).
bool RunningOnWine();

// "XlTable" (registered), "CF_TEXT", "CF_SYLK", "CF_DIF", or a number (decimal or 0x hex).
std::optional<UINT> ParseFormat(const std::string& text, std::string* why);
// The name of a registered format, CF_xxx for the standard ones, else the number.
std::string FormatName(UINT format);

// The format number to hand to advise start/stop for a link in `format`.
UINT LinkFormat(UINT format, bool wineFix);

// The high-resolution wall clock (UTC FILETIME in 100 ns units), the same clock the
// OPC timestamps use.
uint64_t PreciseNow();

struct Advise {
    uint64_t seq = 0;      // 1, 2, ... in arrival order, per client
    HCONV conv = nullptr;  // the conversation whose link it served
    std::string topic, item;
    UINT format = 0;  // 16-bit clipboard format as received
    std::vector<uint8_t> data;
    uint64_t received = 0;  // PreciseNow() at arrival
    LARGE_INTEGER qpc{};    // QueryPerformanceCounter at arrival
};

struct Result {
    bool ok = false;
    UINT error = 0;   // DdeGetLastError after a failure (DMLERR_xxx)
    DWORD flags = 0;  // the transaction's status word (DDE_FACK, ...)
};

// Text for a DMLERR_xxx code.
const char* ErrorName(UINT error);

class DdeClient;

class Conversation {
  public:
    ~Conversation();
    Conversation(const Conversation&) = delete;
    Conversation& operator=(const Conversation&) = delete;

    HCONV handle() const { return conv_; }
    const std::string& topic() const { return topic_; }

    Result StartAdvise(const std::string& item, UINT format, DWORD timeoutMs = 5000, bool ackReq = false);
    Result StopAdvise(const std::string& item, UINT format, DWORD timeoutMs = 5000);
    Result Request(const std::string& item, UINT format, std::vector<uint8_t>* data, DWORD timeoutMs = 5000);
    Result Poke(const std::string& item, UINT format, const std::vector<uint8_t>& data, DWORD timeoutMs = 5000);
    Result Execute(const std::string& command, DWORD timeoutMs = 5000);

    // DDEML's view of the conversation: status word (ST_xxx) and the partner window, or
    // nothing when DDEML no longer knows the conversation.
    std::optional<CONVINFO> Info() const;

  private:
    friend class DdeClient;
    Conversation(DdeClient* client, HCONV conv, std::string topic);
    Result Transact(const std::string& item, UINT format, UINT type, const void* data, DWORD size, DWORD timeoutMs,
                    std::vector<uint8_t>* out);

    DdeClient* client_;
    HCONV conv_;
    std::string topic_;
};

class DdeClient {
  public:
    // wineFix: sign-extend registered formats on advise start/stop (see above).
    explicit DdeClient(bool wineFix = RunningOnWine());
    ~DdeClient();
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    bool ok() const { return inst_ != 0; }
    UINT initError() const { return initError_; }
    DWORD instance() const { return inst_; }
    bool wineFix() const { return wineFix_; }

    // Opens a conversation; on refusal returns null and the DMLERR code in *error.
    std::unique_ptr<Conversation> Connect(const std::string& service, const std::string& topic, UINT* error = nullptr);

    // Pumps messages until an advise is queued or timeoutMs passes; takes the oldest.
    std::optional<Advise> NextAdvise(DWORD timeoutMs);
    // Pumps messages for ms milliseconds; advises that arrive stay queued.
    void Pump(DWORD ms);
    // Advises received and not yet taken.
    std::deque<Advise>& queue() { return queue_; }
    // Number of XTYP_DISCONNECT callbacks seen.
    int disconnects() const { return disconnects_; }

    // Keeps a global atom of the name for the life of the process.
    static void PinName(const std::string& name);

  private:
    friend class Conversation;
    static HDDEDATA CALLBACK Callback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data,
                                      ULONG_PTR data1, ULONG_PTR data2);
    HDDEDATA OnCallback(UINT type, UINT fmt, HCONV conv, HSZ hsz1, HSZ hsz2, HDDEDATA data);
    std::string QueryString(HSZ hsz) const;
    void Forget(HCONV conv);

    DWORD inst_ = 0;
    UINT initError_ = 0;
    bool wineFix_;
    uint64_t seq_ = 0;
    int disconnects_ = 0;
    std::deque<Advise> queue_;
};

}  // namespace qvdde
