#pragma once
// Runs a test in a fixed time zone. On the host the test sets TZ itself. Under Wine a
// program cannot change its zone (Wine reads the Linux TZ of the wine process, and a
// child started with TZ in its Windows environment still gets its parent's zone), so
// scripts/in-zone.sh starts the tests with TZ set and names the zone in QV_TEST_ZONE;
// zone tests for any other zone are skipped there.
#include <cstdlib>
#include <ctime>
#include <string>

class TestZone {
  public:
    explicit TestZone(const char* zone) {
#ifdef _WIN32
        const char* active = std::getenv("QV_TEST_ZONE");
        m_bActive = active && std::string(active) == zone;
        if (!m_bActive) m_why = std::string("runs under scripts/in-zone.sh ") + zone;
#else
        const char* old = std::getenv("TZ");
        m_bHadOld = old != nullptr;
        if (old) m_old = old;
        setenv("TZ", zone, 1);
        tzset();
        m_bActive = true;
#endif
    }
    ~TestZone() {
#ifndef _WIN32
        if (m_bHadOld)
            setenv("TZ", m_old.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
#endif
    }
    TestZone(const TestZone&) = delete;
    TestZone& operator=(const TestZone&) = delete;

    bool Active() const { return m_bActive; }
    const std::string& Why() const { return m_why; }

  private:
    bool m_bActive = false;
    bool m_bHadOld = false;
    std::string m_old;
    std::string m_why;
};

#define QV_IN_ZONE(zone)   \
    TestZone qvZone(zone); \
    if (!qvZone.Active()) GTEST_SKIP() << qvZone.Why()
