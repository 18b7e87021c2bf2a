#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <ctime>
#include <optional>

namespace qv::test {

// Sets the process's time zone for one test and restores the previous one afterwards.
class TimeZoneGuard {
public:
    explicit TimeZoneGuard(const char *zone)
    {
        if (qEnvironmentVariableIsSet("TZ"))
            m_previous = qgetenv("TZ");
        use(zone);
    }
    ~TimeZoneGuard()
    {
        if (m_previous)
            qputenv("TZ", *m_previous);
        else
            qunsetenv("TZ");
        tzset();
    }
    // Moves the process to another zone while the guard stands.
    static void use(const char *zone)
    {
        qputenv("TZ", zone);
        tzset();
    }
    TimeZoneGuard(const TimeZoneGuard &) = delete;
    TimeZoneGuard &operator=(const TimeZoneGuard &) = delete;

private:
    std::optional<QByteArray> m_previous;
};

} // namespace qv::test
