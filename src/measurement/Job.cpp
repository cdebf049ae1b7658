#include "measurement/Job.h"

namespace Job {

namespace {

struct TTypeName {
    TTestType Type;
    const char* Key;
    const char* People;
};

constexpr TTypeName TypeNames[] = {
    {TTestType::RealEstate, "real-estate", "Real-estate transaction"},
    {TTestType::Initial, "initial", "Initial test"},
    {TTestType::FollowUp, "follow-up", "Follow-up test"},
    {TTestType::PostMitigation, "post-mitigation", "Test after mitigation"},
    {TTestType::Other, "other", "Other"},
};

struct TConditionsName {
    TConditions Conditions;
    const char* Key;
    const char* People;
};

constexpr TConditionsName ConditionsNames[] = {
    {TConditions::Maintained, "maintained", "Maintained"},
    {TConditions::NotMaintained, "not-maintained", "Not maintained"},
    {TConditions::Unknown, "unknown", "Unknown"},
};

} // namespace

QString TestTypeKey(TTestType Type) {
    for (const TTypeName& Name : TypeNames)
        if (Name.Type == Type)
            return QLatin1String(Name.Key);
    return {};
}

std::optional<TTestType> TestTypeFromKey(const QString& Key) {
    for (const TTypeName& Name : TypeNames)
        if (Key == QLatin1String(Name.Key))
            return Name.Type;
    return std::nullopt;
}

QString TestTypeForPeople(TTestType Type) {
    for (const TTypeName& Name : TypeNames)
        if (Name.Type == Type)
            return QLatin1String(Name.People);
    return {};
}

QString ConditionsKey(TConditions Conditions) {
    for (const TConditionsName& Name : ConditionsNames)
        if (Name.Conditions == Conditions)
            return QLatin1String(Name.Key);
    return {};
}

std::optional<TConditions> ConditionsFromKey(const QString& Key) {
    for (const TConditionsName& Name : ConditionsNames)
        if (Key == QLatin1String(Name.Key))
            return Name.Conditions;
    return std::nullopt;
}

QString ConditionsForPeople(TConditions Conditions) {
    for (const TConditionsName& Name : ConditionsNames)
        if (Name.Conditions == Conditions)
            return QLatin1String(Name.People);
    return {};
}

} // namespace Job
