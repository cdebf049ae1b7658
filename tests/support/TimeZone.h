#pragma once

#include <QByteArray>
#include <ctime>

namespace TestSupport {

// Sets TZ for the lifetime of the object (Qt asks the C library, which reads TZ at tzset()).
class TempZone {
public:
    explicit TempZone(const char* Zone)
        : FOld(qgetenv("TZ")), FHadOld(qEnvironmentVariableIsSet("TZ")) {
        qputenv("TZ", Zone);
        tzset();
    }
    ~TempZone() {
        if (FHadOld)
            qputenv("TZ", FOld);
        else
            qunsetenv("TZ");
        tzset();
    }
    TempZone(const TempZone&) = delete;
    TempZone& operator=(const TempZone&) = delete;

private:
    QByteArray FOld;
    bool FHadOld;
};

// Zones west and east of UTC, one with a half-hour offset, and for each a day before and
// after its spring-forward change and the change's gap (2:30 AM does not exist there).
struct TZoneDays {
    const char* Zone;
    const char *DayBefore, *GapDay, *DayAfter; // M/d/yyyy
};

inline const TZoneDays ZoneDays[] = {
    {"America/New_York", "3/7/2026", "3/8/2026", "3/9/2026"},
    {"America/Chicago", "3/7/2026", "3/8/2026", "3/9/2026"},
    {"Pacific/Auckland", "9/26/2026", "9/27/2026", "9/28/2026"},
    {"Asia/Kolkata", "3/7/2026", "3/8/2026", "3/9/2026"},
    {"Europe/Berlin", "3/28/2026", "3/29/2026", "3/30/2026"},
};

} // namespace TestSupport
