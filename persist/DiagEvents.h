#pragma once
// The events of the diagnostic log (persist/DiagLog.h) in one wording each, for the places
// that see them: the start and end of the program, configuration problems, the connection
// workflow, server shutdowns and deaths, and DDE writes.
//
// Threading: any thread.
#include <string>

namespace DiagLog {

// "0x80040154 Class not registered": the system's message for the code when it has one.
std::string HResultText(long hr);

void LogStart(const std::string& configPath);
void LogStop();
// One line per problem; line is the configuration line it concerns.
void LogConfigProblem(int line, const std::string& text);
void LogConfigBackup(const std::string& keptAs, bool ok);
void LogSaveFailed(const std::string& path);

// attempt: 0 for a user's connect, 1, 2, ... for automatic retries.
void LogConnect(const std::string& alias, const std::string& machine, const std::string& server, long hr,
                int attempt = 0);
void LogDisconnect(const std::string& alias, const std::string& why);
void LogServerShutdown(const std::string& alias, const std::string& reason);
void LogServerLost(const std::string& alias, long hr);

// A DDE poke refused before the OPC write (reason: "unknown item", "bad block", "type",
// "writes are off").
void LogPokeRefused(const std::string& topic, const std::string& item, const std::string& reason);
// A poke passed on to the OPC library: the value as text and its type, and whether the
// library took it (the library answers no more than that).
void LogPokeWritten(const std::string& topic, const std::string& item, const std::string& value,
                    const std::string& type, bool accepted);
// The "Allow DDE clients to write" setting at start-up and when it changes; stored: whether
// the change reached the registry.
void LogDdeWrites(bool allowed, bool stored = true);

}  // namespace DiagLog
