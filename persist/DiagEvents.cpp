#include "persist/DiagEvents.h"

#include <cstdio>

#include "persist/DiagLog.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace DiagLog {

namespace {

const char* C(const std::string& s) { return s.c_str(); }
std::string V(const std::string& s) { return CutValue(s); }

}  // namespace

std::string HResultText(long hr) {
    char hex[16];
    std::snprintf(hex, sizeof hex, "0x%08lX", static_cast<unsigned long>(hr) & 0xFFFFFFFFul);
    std::string text = hex;
#ifdef _WIN32
    char message[512] = {};
    DWORD n = ::FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                               static_cast<DWORD>(hr), 0, message, sizeof message - 1, nullptr);
    while (n > 0 && (message[n - 1] == '\r' || message[n - 1] == '\n' || message[n - 1] == ' ')) message[--n] = '\0';
    if (n > 0) text += std::string(" ") + message;
#endif
    return text;
}

void LogStart(const std::string& configPath) { Write("app", "start; configuration %s", C(configPath)); }
void LogStop() { Write("app", "stop"); }

void LogConfigProblem(int line, const std::string& text) { Write("config", "line %d: %s", line, C(V(text))); }

void LogConfigBackup(const std::string& keptAs, bool ok) {
    if (ok)
        Write("config", "the original as read is kept as %s", C(keptAs));
    else
        Write("config", "the original could not be kept as %s; the file will not be replaced", C(keptAs));
}

void LogSaveFailed(const std::string& path) { Write("config", "save failed; %s kept as it was", C(path)); }

void LogConnect(const std::string& alias, const std::string& machine, const std::string& server, long hr, int attempt) {
    const char* what = attempt > 0 ? "reconnect" : "connect";
    std::string where = machine.empty() ? std::string("this computer") : machine;
    if (attempt > 0)
        Write("opc", "%s attempt %d: %s (%s on %s): %s", what, attempt, C(V(alias)), C(V(server)), C(V(where)),
              C(HResultText(hr)));
    else
        Write("opc", "%s: %s (%s on %s): %s", what, C(V(alias)), C(V(server)), C(V(where)), C(HResultText(hr)));
}

void LogDisconnect(const std::string& alias, const std::string& why) {
    Write("opc", "disconnect: %s: %s", C(V(alias)), C(V(why)));
}

void LogServerShutdown(const std::string& alias, const std::string& reason) {
    Write("opc", "server shutdown request: %s: %s", C(V(alias)), C(V(reason)));
}

void LogServerLost(const std::string& alias, long hr) {
    Write("opc", "connection to the server lost: %s: %s", C(V(alias)), C(HResultText(hr)));
}

void LogPokeRefused(const std::string& topic, const std::string& item, const std::string& reason) {
    Write("dde", "poke refused: %s!%s: %s", C(V(topic)), C(V(item)), C(V(reason)));
}

void LogPokeWritten(const std::string& topic, const std::string& item, const std::string& value,
                    const std::string& type, bool accepted) {
    Write("dde", "write: %s!%s = \"%s\" (%s): %s", C(V(topic)), C(V(item)), C(V(value)), C(V(type)),
          accepted ? "accepted" : "refused by the OPC library or server");
}

void LogDdeWrites(bool allowed, bool stored) {
    Write("dde", "writes from DDE clients are %s%s", allowed ? "on" : "off",
          stored ? "" : " (the setting could not be stored; it holds until the program ends)");
}

}  // namespace DiagLog
