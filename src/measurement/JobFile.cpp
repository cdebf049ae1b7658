#include "measurement/JobFile.h"

#include "platform/Exception.h"
#include "platform/MessageText.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

TInspector TJobFile::Over(TInspector Stored) const {
    if (Inspector)
        Stored.Name = *Inspector;
    if (Certification)
        Stored.Certification = *Certification;
    if (Logo)
        Stored.LogoFile = *Logo;
    return Stored;
}

namespace JobFile {

namespace {

const QStringList Keys{"client", "address",   "placement",     "test_type", "conditions",
                       "notes",  "inspector", "certification", "logo"};

[[noreturn]] void Refuse(const QString& Reason) {
    throw Exception(Reason);
}

} // namespace

TJobFile Parse(const QByteArray& Json) {
    QJsonParseError Error{};
    const QJsonDocument Document = QJsonDocument::fromJson(Json, &Error);
    if (Error.error != QJsonParseError::NoError)
        Refuse(QStringLiteral("it is not JSON (%1 at byte %2)")
                   .arg(Error.errorString())
                   .arg(Error.offset));
    if (!Document.isObject())
        Refuse(QStringLiteral("it must hold one JSON object"));
    const QJsonObject Object = Document.object();
    for (auto It = Object.begin(); It != Object.end(); ++It) {
        if (!Keys.contains(It.key()))
            Refuse(QStringLiteral("the key %1 is not one of %2")
                       .arg(MessageText::Quoted(It.key(), 40), Keys.join(QStringLiteral(", "))));
        if (!It.value().isString())
            Refuse(QStringLiteral("the value of \"%1\" must be a string").arg(It.key()));
        if (It.value().toString().size() > Job::MaxFieldLength)
            Refuse(QStringLiteral("the value of \"%1\" is longer than %2 characters")
                       .arg(It.key())
                       .arg(Job::MaxFieldLength));
    }
    const auto Text = [&Object](const char* Key) {
        return Object.value(QLatin1String(Key)).toString();
    };
    const auto Given = [&Object](const char* Key) -> std::optional<QString> {
        const QJsonValue Value = Object.value(QLatin1String(Key));
        return Value.isUndefined() ? std::nullopt : std::optional<QString>(Value.toString());
    };

    TJobFile File;
    File.Job.Client = Text("client");
    File.Job.Address = Text("address");
    File.Job.Placement = Text("placement");
    File.Job.Notes = Text("notes");
    if (const QString Type = Text("test_type"); !Type.isEmpty()) {
        const std::optional<TTestType> Known = Job::TestTypeFromKey(Type);
        if (!Known)
            Refuse(QStringLiteral("\"test_type\" must be real-estate, initial, follow-up, "
                                  "post-mitigation or other, not %1")
                       .arg(MessageText::Quoted(Type, 40)));
        File.Job.TestType = *Known;
    }
    if (const QString Conditions = Text("conditions"); !Conditions.isEmpty()) {
        const std::optional<TConditions> Known = Job::ConditionsFromKey(Conditions);
        if (!Known)
            Refuse(QStringLiteral("\"conditions\" must be maintained, not-maintained or unknown, "
                                  "not %1")
                       .arg(MessageText::Quoted(Conditions, 40)));
        File.Job.Conditions = *Known;
    }
    File.Inspector = Given("inspector");
    File.Certification = Given("certification");
    File.Logo = Given("logo");
    return File;
}

} // namespace JobFile
