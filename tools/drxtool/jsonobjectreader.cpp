#include "jsonobjectreader.h"

#include "objectnames.h"

#include <QVariant>

#include <algorithm>
#include <cmath>

namespace {

QString quoted(const QString &text)
{
    return QLatin1Char('"') + text + QLatin1Char('"');
}

// "a.b.c.d", each part a decimal number that a stored octet (an int32) holds;
// a file may hold any of them, and its dump must come back.
std::optional<std::array<qint32, 4>> parseIpAddress(const QString &text)
{
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<qint32, 4> octets{};
    for (int i = 0; i < 4; ++i) {
        const QString &part = parts[i];
        const qsizetype digitsFrom = part.startsWith(u'-') ? 1 : 0;
        if (part.size() <= digitsFrom || part.size() > 11)
            return std::nullopt;
        for (QChar c : part.sliced(digitsFrom)) {
            if (c < u'0' || c > u'9')
                return std::nullopt;
        }
        bool fits = false;
        octets[size_t(i)] = part.toInt(&fits);
        if (!fits)
            return std::nullopt;
    }
    return octets;
}

} // namespace

JsonObjectReader::JsonObjectReader(const QJsonObject &object, const QString &path,
                                   JsonFindings &findings, const JsonReadOptions &options,
                                   SiblingNames *siblings)
    : m_object(object), m_path(path), m_findings(findings), m_options(options), m_siblings(siblings)
{}

void JsonObjectReader::fail(QLatin1StringView key, const QString &reason)
{
    failAt(JsonPath::member(m_path, key), reason);
}

void JsonObjectReader::warn(QLatin1StringView key, const QString &reason)
{
    if (!failed())
        m_findings.warnings.append(JsonProblem{JsonPath::member(m_path, key), reason});
}

void JsonObjectReader::failAt(const QString &place, const QString &reason)
{
    if (!m_findings.problem)
        m_findings.problem = JsonProblem{place, reason};
}

void JsonObjectReader::failWrongType(QLatin1StringView key, const char *expected,
                                     const QJsonValue &value)
{
    fail(key, QStringLiteral("expected %1, not %2")
                  .arg(QLatin1StringView(expected), describeJsonType(value)));
}

std::optional<QJsonValue> JsonObjectReader::take(QLatin1StringView key)
{
    m_knownKeys.append(key);
    if (failed())
        return std::nullopt;
    const auto found = m_object.constFind(key);
    if (found == m_object.constEnd())
        return std::nullopt;
    ++m_presentKnownKeys;
    return found.value();
}

void JsonObjectReader::name(QLatin1StringView key, QString &field, const NameRule &rule)
{
    const std::optional<QJsonValue> value = take(key);
    if (value) {
        if (!value->isString())
            return failWrongType(key, "a string", *value);
        field = value->toString();
    }
    if (failed())
        return;
    if (const QString dotted = ObjectNames::checkNewName(field, rule.kind); !dotted.isEmpty()) {
        if (!m_options.allowDottedNames)
            return fail(key, dotted + QStringLiteral(" (--allow-dotted-names takes it)"));
        warn(key, dotted);
    }
    // An absent name is checked too: the defaults of groups and tags are empty,
    // and the default names of channels and devices may clash. The driver
    // loads such names, so they are taken with a warning.
    if (const QString broken = NameRules::check(field, rule); !broken.isEmpty())
        warn(key, broken);
    if (!m_siblings)
        return;
    if (const auto holder = m_siblings->constFind(field); holder != m_siblings->constEnd())
        return warn(key, QStringLiteral("%1 (the name of %2)").arg(rule.exists, holder.value()));
    m_siblings->insert(field, m_path);
}

std::optional<qint64> JsonObjectReader::readInteger(QLatin1StringView key, IntRange range,
                                                    IntRange width)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return std::nullopt;
    if (!value->isDouble()) {
        failWrongType(key, "an integer", *value);
        return std::nullopt;
    }
    // The parser keeps every number that is a whole int64 as an integer.
    const QVariant number = value->toVariant();
    if (number.typeId() != QMetaType::LongLong) {
        const double asDouble = value->toDouble();
        if (std::trunc(asDouble) != asDouble)
            fail(key, QStringLiteral("expected an integer, not a number with a fraction"));
        else
            fail(key, QStringLiteral("%1 does not fit the stored field (%2 to %3)")
                          .arg(asDouble, 0, 'g', 17)
                          .arg(width.minimum)
                          .arg(width.maximum));
        return std::nullopt;
    }
    const qint64 integer = number.toLongLong();
    if (integer < width.minimum || integer > width.maximum) {
        fail(key, QStringLiteral("%1 does not fit the stored field (%2 to %3)")
                      .arg(integer)
                      .arg(width.minimum)
                      .arg(width.maximum));
        return std::nullopt;
    }
    if (integer < range.minimum || integer > range.maximum) {
        warn(key, QStringLiteral("%1 is out of range (%2 to %3)")
                      .arg(integer)
                      .arg(range.minimum)
                      .arg(range.maximum));
    } else if (integer % range.step != 0) {
        warn(key, QStringLiteral("%1 is not a multiple of %2").arg(integer).arg(range.step));
    }
    return integer;
}

void JsonObjectReader::flag(QLatin1StringView key, bool &field)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return;
    if (!value->isBool())
        return failWrongType(key, "true or false", *value);
    field = value->toBool();
}

void JsonObjectReader::text(QLatin1StringView key, QString &field)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return;
    if (!value->isString())
        return failWrongType(key, "a string", *value);
    field = value->toString();
}

void JsonObjectReader::choice(QLatin1StringView key, QString &field, const QStringList &choices)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return;
    if (!value->isString())
        return failWrongType(key, "a string", *value);
    if (!choices.contains(value->toString())) {
        QStringList quotedChoices;
        for (const QString &choice : choices)
            quotedChoices << quoted(choice);
        warn(key,
             QStringLiteral("expected one of %1").arg(quotedChoices.join(QStringLiteral(", "))));
    }
    field = value->toString();
}

void JsonObjectReader::ipAddress(QLatin1StringView key, std::array<qint32, 4> &field)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return;
    if (!value->isString())
        return failWrongType(key, "a string \"a.b.c.d\"", *value);
    const std::optional<std::array<qint32, 4>> octets = parseIpAddress(value->toString());
    if (!octets)
        return fail(key, QStringLiteral("expected four numbers joined by dots, \"a.b.c.d\""));
    for (qint32 octet : *octets) {
        if (octet < 0 || octet > 255) {
            warn(key, QStringLiteral("octet %1 is out of range (0 to 255)").arg(octet));
            break;
        }
    }
    field = *octets;
}

std::optional<QString> JsonObjectReader::requiredText(QLatin1StringView key)
{
    const std::optional<QJsonValue> value = take(key);
    if (failed())
        return std::nullopt;
    if (!value) {
        fail(key, QStringLiteral("missing"));
        return std::nullopt;
    }
    if (!value->isString()) {
        failWrongType(key, "a string", *value);
        return std::nullopt;
    }
    return value->toString();
}

QJsonArray JsonObjectReader::array(QLatin1StringView key)
{
    const std::optional<QJsonValue> value = take(key);
    if (!value)
        return {};
    if (!value->isArray()) {
        failWrongType(key, "an array", *value);
        return {};
    }
    return value->toArray();
}

void JsonObjectReader::rejectUnknownKeys()
{
    if (failed() || m_presentKnownKeys == m_object.size())
        return;
    const auto isKnown = [this](const QString &key) {
        return std::any_of(m_knownKeys.cbegin(), m_knownKeys.cend(),
                           [&key](QLatin1StringView known) { return key == known; });
    };
    for (const QString &key : m_object.keys()) {
        if (isKnown(key))
            continue;
        // Settings are spelt as in the driver, with capitals that are easy to
        // get wrong ("DeviceID"); say which one was meant.
        QString reason = QStringLiteral("unknown key");
        for (QLatin1StringView known : std::as_const(m_knownKeys)) {
            if (key.compare(known, Qt::CaseInsensitive) == 0) {
                reason += QStringLiteral("; did you mean %1?").arg(quoted(known));
                break;
            }
        }
        return failAt(JsonPath::member(m_path, key), reason);
    }
}
