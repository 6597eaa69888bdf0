#include "persist/DiagLog.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <mutex>
#include <sys/stat.h>

namespace DiagLog {

namespace {

std::mutex g_lock;
std::string g_path;
size_t g_maxBytes = kDefaultMaxBytes;

long long FileSize(const std::string& path) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0) return -1;
    return static_cast<long long>(st.st_size);
}

// log.1 -> log.2, log -> log.1; rename does not replace on Windows, so the target goes first.
void Rotate() {
    const std::string one = g_path + ".1", two = g_path + ".2";
    std::remove(two.c_str());
    std::rename(one.c_str(), two.c_str());
    std::rename(g_path.c_str(), one.c_str());
}

std::string LocalTimeStamp() {
    using namespace std::chrono;
    system_clock::time_point now = system_clock::now();
    std::time_t seconds = system_clock::to_time_t(now);
    int millis = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900, local.tm_mon + 1,
                  local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec, millis);
    return text;
}

}  // namespace

void Open(const std::string& path, size_t maxBytes) {
    std::lock_guard<std::mutex> hold(g_lock);
    g_path = path;
    g_maxBytes = maxBytes < 2 * kMaxLineLength ? 2 * kMaxLineLength : maxBytes;
}

void Close() {
    std::lock_guard<std::mutex> hold(g_lock);
    g_path.clear();
}

std::string Path() {
    std::lock_guard<std::mutex> hold(g_lock);
    return g_path;
}

std::string CutValue(const std::string& text, size_t maxLength) {
    if (text.size() <= maxLength) return text;
    return text.substr(0, maxLength) + "...";
}

void WriteV(const char* category, const char* format, va_list args) {
    char body[kMaxLineLength];
    std::vsnprintf(body, sizeof body, format ? format : "", args);
    std::string line = LocalTimeStamp() + " [" + (category ? category : "") + "] " + body;
    if (line.size() > kMaxLineLength - 2) line.resize(kMaxLineLength - 2);
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\0') c = ' ';
    line += "\r\n";

    std::lock_guard<std::mutex> hold(g_lock);
    if (g_path.empty()) return;
    long long size = FileSize(g_path);
    if (size > 0 && static_cast<size_t>(size) + line.size() > g_maxBytes) Rotate();
    std::FILE* f = std::fopen(g_path.c_str(), "ab");
    if (!f) return;
    std::fwrite(line.data(), 1, line.size(), f);
    std::fclose(f);
}

void Write(const char* category, const char* format, ...) {
    va_list args;
    va_start(args, format);
    WriteV(category, format, args);
    va_end(args);
}

}  // namespace DiagLog
