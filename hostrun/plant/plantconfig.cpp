#include "plantconfig.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <cmath>

namespace hostrun {

namespace {

// Reads one JSON object, noting each mistake with the path that leads to it.
class ObjectReader
{
public:
    ObjectReader(const QJsonObject &object, QString path, QStringList *problems)
        : m_object(object), m_path(std::move(path)), m_problems(problems)
    {}

    QString where(const QString &key) const
    {
        return m_path.isEmpty() ? key : m_path + QLatin1Char('.') + key;
    }

    void problem(const QString &key, const QString &text) const
    {
        m_problems->append(where(key) + QStringLiteral(": ") + text);
    }

    bool has(const QString &key)
    {
        m_known.append(key);
        return m_object.contains(key);
    }

    QJsonValue value(const QString &key)
    {
        m_known.append(key);
        return m_object.value(key);
    }

    QString text(const QString &key, bool required, const QString &fallback = QString())
    {
        const QJsonValue v = value(key);
        if (v.isUndefined()) {
            if (required)
                problem(key, QStringLiteral("missing"));
            return fallback;
        }
        if (!v.isString() || v.toString().isEmpty()) {
            problem(key, QStringLiteral("not a text"));
            return fallback;
        }
        return v.toString();
    }

    std::optional<double> number(const QString &key)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined())
            return std::nullopt;
        if (!v.isDouble() || !std::isfinite(v.toDouble())) {
            problem(key, QStringLiteral("not a number"));
            return std::nullopt;
        }
        return v.toDouble();
    }

    int integer(const QString &key, int minimum, int maximum, int fallback)
    {
        const std::optional<double> n = number(key);
        if (!n)
            return fallback;
        if (*n != std::floor(*n) || *n < minimum || *n > maximum) {
            problem(key,
                    QStringLiteral("not a whole number from %1 to %2").arg(minimum).arg(maximum));
            return fallback;
        }
        return int(*n);
    }

    QJsonObject object(const QString &key, bool required)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined()) {
            if (required)
                problem(key, QStringLiteral("missing"));
            return {};
        }
        if (!v.isObject()) {
            problem(key, QStringLiteral("not an object"));
            return {};
        }
        return v.toObject();
    }

    QJsonArray array(const QString &key, bool required)
    {
        const QJsonValue v = value(key);
        if (v.isUndefined()) {
            if (required)
                problem(key, QStringLiteral("missing"));
            return {};
        }
        if (!v.isArray()) {
            problem(key, QStringLiteral("not a list"));
            return {};
        }
        return v.toArray();
    }

    // Call last: every key that no reading asked for is a mistake (a typing
    // error would otherwise leave a setting at its default unnoticed).
    void checkUnknownKeys() const
    {
        for (auto it = m_object.begin(); it != m_object.end(); ++it) {
            if (!m_known.contains(it.key()))
                problem(it.key(), QStringLiteral("unknown key"));
        }
    }

private:
    QJsonObject m_object;
    QString m_path;
    QStringList *m_problems;
    QStringList m_known;
};

// A password from the file or the environment variable the config names;
// the config never holds one itself.
QString readPassword(ObjectReader &reader, const QString &folder)
{
    const bool fromFile = reader.has(QStringLiteral("passwordFile"));
    const bool fromEnvironment = reader.has(QStringLiteral("passwordEnv"));
    if (reader.has(QStringLiteral("password"))) {
        reader.problem(QStringLiteral("password"),
                       QStringLiteral("passwords are not kept in the config; name a "
                                      "passwordFile or a passwordEnv variable"));
        return QString();
    }
    if (fromFile == fromEnvironment) {
        reader.problem(QStringLiteral("passwordFile"),
                       fromFile ? QStringLiteral("give passwordFile or passwordEnv, not both")
                                : QStringLiteral("missing password source: give passwordFile "
                                                 "or passwordEnv"));
        return QString();
    }
    if (fromEnvironment) {
        const QString name = reader.text(QStringLiteral("passwordEnv"), true);
        if (name.isEmpty())
            return QString();
        if (!qEnvironmentVariableIsSet(qPrintable(name))) {
            reader.problem(QStringLiteral("passwordEnv"),
                           QStringLiteral("the variable %1 is not set").arg(name));
            return QString();
        }
        return qEnvironmentVariable(qPrintable(name));
    }
    const QString name = reader.text(QStringLiteral("passwordFile"), true);
    if (name.isEmpty())
        return QString();
    QFile file(QDir(folder).absoluteFilePath(name));
    if (!file.open(QIODevice::ReadOnly)) {
        reader.problem(
            QStringLiteral("passwordFile"),
            QStringLiteral("cannot read %1: %2").arg(file.fileName(), file.errorString()));
        return QString();
    }
    // The first line; its line break is not part of the password.
    QByteArray line = file.readLine(4096);
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

QString programPath(ObjectReader &reader, const QString &folder)
{
    const QString program = reader.text(QStringLiteral("program"), false);
    // A bare name is looked up on PATH; a path is taken from the config's folder.
    if (program.isEmpty() || !program.contains(QLatin1Char('/')))
        return program;
    return QDir(folder).absoluteFilePath(program);
}

AlarmRule readAlarm(ObjectReader &reader, const QStringList &items)
{
    AlarmRule rule;
    rule.item = reader.text(QStringLiteral("item"), true);
    if (!rule.item.isEmpty() && !items.contains(rule.item))
        reader.problem(
            QStringLiteral("item"),
            QStringLiteral("unknown item path %1: not one of driver.items").arg(rule.item));
    rule.hiHi = reader.number(QStringLiteral("hiHi"));
    rule.hi = reader.number(QStringLiteral("hi"));
    rule.lo = reader.number(QStringLiteral("lo"));
    rule.loLo = reader.number(QStringLiteral("loLo"));
    rule.deadband = reader.number(QStringLiteral("deadband")).value_or(0);
    rule.severity = reader.integer(QStringLiteral("severity"), 0, 255, 1);
    if (rule.deadband < 0)
        reader.problem(QStringLiteral("deadband"), QStringLiteral("negative"));
    const QJsonValue discrete = reader.value(QStringLiteral("discrete"));
    if (!discrete.isUndefined()) {
        if (!discrete.isBool()) {
            reader.problem(QStringLiteral("discrete"), QStringLiteral("not true or false"));
        } else {
            rule.discrete = discrete.toBool();
        }
    }
    const QJsonValue activeWhen = reader.value(QStringLiteral("activeWhen"));
    if (!activeWhen.isUndefined()) {
        if (!activeWhen.isBool())
            reader.problem(QStringLiteral("activeWhen"), QStringLiteral("not true or false"));
        else if (!rule.discrete)
            reader.problem(QStringLiteral("activeWhen"),
                           QStringLiteral("only for a discrete alarm"));
        else
            rule.activeWhen = activeWhen.toBool();
    }
    const bool anyLimit = rule.hiHi || rule.hi || rule.lo || rule.loLo;
    if (rule.discrete && anyLimit)
        reader.problem(QStringLiteral("discrete"),
                       QStringLiteral("a discrete alarm has no limits (hiHi, hi, lo, loLo)"));
    if (!rule.discrete && !anyLimit)
        reader.problem(QStringLiteral("item"),
                       QStringLiteral("the alarm needs a limit (hiHi, hi, lo, loLo) or "
                                      "\"discrete\": true"));
    // Limits in their natural order, so that Hi Hi is never below Hi.
    const auto ordered = [&](const char *upperName, std::optional<double> upper,
                             const char *lowerName, std::optional<double> lower) {
        if (upper && lower && *upper < *lower)
            reader.problem(QLatin1StringView(upperName),
                           QStringLiteral("below %1").arg(QLatin1StringView(lowerName)));
    };
    ordered("hiHi", rule.hiHi, "hi", rule.hi);
    ordered("hi", rule.hi, "lo", rule.lo);
    ordered("lo", rule.lo, "loLo", rule.loLo);
    reader.checkUnknownKeys();
    return rule;
}

} // namespace

LoadedPlantConfig parsePlantConfig(const QByteArray &json, const QString &folder)
{
    LoadedPlantConfig loaded;
    QStringList &problems = loaded.problems;
    QJsonParseError parseError;
    const QJsonDocument document = QJsonDocument::fromJson(json, &parseError);
    if (parseError.error != QJsonParseError::NoError) {
        problems.append(QStringLiteral("not JSON at offset %1: %2")
                            .arg(parseError.offset)
                            .arg(parseError.errorString()));
        return loaded;
    }
    if (!document.isObject()) {
        problems.append(QStringLiteral("not a JSON object"));
        return loaded;
    }

    PlantConfig config;
    ObjectReader top(document.object(), QString(), &problems);

    ObjectReader driver(top.object(QStringLiteral("driver"), true), QStringLiteral("driver"),
                        &problems);
    config.driverProgram = programPath(driver, folder);
    config.driverTimeout =
        std::chrono::seconds(driver.integer(QStringLiteral("timeout"), 1, 3600, 30));
    const QJsonArray items = driver.array(QStringLiteral("items"), true);
    for (qsizetype i = 0; i < items.size(); ++i) {
        const QString where = QStringLiteral("driver.items[%1]").arg(i);
        const QString item = items.at(i).toString();
        // Group and tag of a row come from the path: at least a channel, a
        // device and a tag.
        if (!items.at(i).isString() || item.split(QLatin1Char('.')).size() < 3 ||
            item.split(QLatin1Char('.')).contains(QString())) {
            problems.append(where + QStringLiteral(": not an item path like Channel.Device.Tag"));
        } else if (config.items.contains(item)) {
            problems.append(where + QStringLiteral(": %1 is named twice").arg(item));
        } else {
            config.items.append(item);
        }
    }
    if (items.isEmpty() && driver.has(QStringLiteral("items")))
        problems.append(QStringLiteral("driver.items: empty"));
    driver.checkUnknownKeys();

    ObjectReader database(top.object(QStringLiteral("database"), true), QStringLiteral("database"),
                          &problems);
    config.bridgeProgram = programPath(database, folder);
    config.database.server = database.text(QStringLiteral("server"), true);
    config.database.database = database.text(QStringLiteral("database"), true);
    config.database.tagTable =
        database.text(QStringLiteral("tagTable"), false, QStringLiteral("tagvalues"));
    config.database.alarmTable =
        database.text(QStringLiteral("alarmTable"), false, QStringLiteral("alarms"));
    config.database.user = database.text(QStringLiteral("user"), true);
    config.database.password = readPassword(database, folder);
    database.checkUnknownKeys();

    ObjectReader mail(top.object(QStringLiteral("mail"), true), QStringLiteral("mail"), &problems);
    config.relayProgram = programPath(mail, folder);
    const QJsonArray accounts = mail.array(QStringLiteral("accounts"), true);
    for (qsizetype i = 0; i < accounts.size(); ++i) {
        const QString where = QStringLiteral("mail.accounts[%1]").arg(i);
        if (!accounts.at(i).isObject()) {
            problems.append(where + QStringLiteral(": not an object"));
            continue;
        }
        ObjectReader reader(accounts.at(i).toObject(), where, &problems);
        MailAccount account;
        account.provider = reader.text(QStringLiteral("provider"), true);
        if (!account.provider.isEmpty() &&
            account.provider.compare(QLatin1StringView("Gmail"), Qt::CaseInsensitive) != 0 &&
            account.provider.compare(QLatin1StringView("Yahoo"), Qt::CaseInsensitive) != 0)
            reader.problem(QStringLiteral("provider"),
                           QStringLiteral("%1 is neither Gmail nor Yahoo").arg(account.provider));
        account.user = reader.text(QStringLiteral("user"), true);
        account.password = readPassword(reader, folder);
        reader.checkUnknownKeys();
        config.mailAccounts.append(account);
    }
    config.mailTo = mail.text(QStringLiteral("to"), true);
    config.mailProvider = mail.text(QStringLiteral("provider"), false);
    if (config.mailProvider.isEmpty() && !config.mailAccounts.isEmpty())
        config.mailProvider = config.mailAccounts.first().provider;
    const bool providerHasAccount =
        std::any_of(config.mailAccounts.begin(), config.mailAccounts.end(), [&](const auto &a) {
            return a.provider.compare(config.mailProvider, Qt::CaseInsensitive) == 0;
        });
    if (!config.mailProvider.isEmpty() && !providerHasAccount)
        problems.append(QStringLiteral("mail.provider: no account for %1 in mail.accounts")
                            .arg(config.mailProvider));
    mail.checkUnknownKeys();

    const QJsonArray alarms = top.array(QStringLiteral("alarms"), false);
    for (qsizetype i = 0; i < alarms.size(); ++i) {
        const QString where = QStringLiteral("alarms[%1]").arg(i);
        if (!alarms.at(i).isObject()) {
            problems.append(where + QStringLiteral(": not an object"));
            continue;
        }
        ObjectReader reader(alarms.at(i).toObject(), where, &problems);
        config.alarms.append(readAlarm(reader, config.items));
    }
    config.statusInterval =
        std::chrono::seconds(top.integer(QStringLiteral("statusSeconds"), 1, 3600, 5));
    top.checkUnknownKeys();

    if (problems.isEmpty())
        loaded.config = std::move(config);
    return loaded;
}

LoadedPlantConfig loadPlantConfig(const QString &path)
{
    QFile file(path);
    // Far larger than any plant's config; a bigger file is a wrong file.
    constexpr qint64 MaximumSize = 4 * 1024 * 1024;
    if (!file.open(QIODevice::ReadOnly)) {
        LoadedPlantConfig loaded;
        loaded.problems.append(QStringLiteral("cannot read: %1").arg(file.errorString()));
        return loaded;
    }
    if (file.size() > MaximumSize) {
        LoadedPlantConfig loaded;
        loaded.problems.append(QStringLiteral("larger than %1 bytes").arg(MaximumSize));
        return loaded;
    }
    return parsePlantConfig(file.readAll(), QFileInfo(path).absolutePath());
}

} // namespace hostrun
