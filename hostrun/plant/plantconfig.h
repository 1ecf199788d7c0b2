#pragma once

#include "sqlpayload.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace hostrun {

// One alarm rule of a plant: limits on a numeric item, or a discrete item.
struct AlarmRule
{
    QString item;
    std::optional<double> hiHi;
    std::optional<double> hi;
    std::optional<double> lo;
    std::optional<double> loLo;
    double deadband = 0; // a limit alarm ends only this far back inside its limit
    bool discrete = false;
    bool activeWhen = true; // discrete: the value that raises the alarm
    int severity = 1;       // 0 to 255
};

struct MailAccount
{
    QString provider; // Gmail or Yahoo
    QString user;
    QString password;
};

// Everything "hostrun plant" needs, checked. Secrets are read in at load time
// so that a missing one stops the plant before anything starts.
struct PlantConfig
{
    QString driverProgram; // empty: beside hostrun, else on PATH
    QStringList items;
    std::chrono::seconds driverTimeout{30};

    QString bridgeProgram;
    SqlPayload::ConnectionSettings database;

    QString relayProgram;
    QList<MailAccount> mailAccounts;
    QString mailProvider; // the account alarm emails go through
    QString mailTo;

    QList<AlarmRule> alarms;
    std::chrono::seconds statusInterval{5};
};

struct LoadedPlantConfig
{
    std::optional<PlantConfig> config;
    QStringList problems; // one line per mistake, naming where it is
};

// Reads and checks the JSON file at `path`. Relative file names in it are
// taken from the file's own folder.
LoadedPlantConfig loadPlantConfig(const QString &path);

// The same for JSON already read, with `folder` for relative file names.
LoadedPlantConfig parsePlantConfig(const QByteArray &json, const QString &folder);

} // namespace hostrun
