#pragma once

#include <QString>
#include <optional>

// Why the building was tested; a post-mitigation test leaves its first 24 hours out of the
// result.
enum class TTestType { None, RealEstate, Initial, FollowUp, PostMitigation, Other };

// Whether the building was kept closed during the test.
enum class TConditions { None, Maintained, NotMaintained, Unknown };

// What a client report tells about one measurement beyond its readings. An empty text, or
// None, means not given.
struct TJob {
    QString Client;
    QString Address;
    // Where the monitor stood: floor, room.
    QString Placement;
    TTestType TestType = TTestType::None;
    TConditions Conditions = TConditions::None;
    QString Notes;
};

// Who signs the client report: kept per user in the settings.
struct TInspector {
    QString Name;
    QString Certification;
    // A PNG or JPEG file; empty: no logo.
    QString LogoFile;
    bool SignatureLine = false;
};

namespace Job {

// The longest text a job field takes.
constexpr int MaxFieldLength = 2000;

// "real-estate", "initial", "follow-up", "post-mitigation", "other"; empty for None.
QString TestTypeKey(TTestType Type);
std::optional<TTestType> TestTypeFromKey(const QString& Key);
// "Real-estate transaction", ...; empty for None.
QString TestTypeForPeople(TTestType Type);

// "maintained", "not-maintained", "unknown"; empty for None.
QString ConditionsKey(TConditions Conditions);
std::optional<TConditions> ConditionsFromKey(const QString& Key);
QString ConditionsForPeople(TConditions Conditions);

} // namespace Job
