#pragma once

#include "plantconfig.h"

#include <QHash>
#include <QList>
#include <QString>

namespace hostrun {

// Alarm types as the alarm table names them (its almtype column).
enum class AlarmType : quint8 { Discrete = 0, HiHi = 3, Hi = 4, Lo = 5, LoLo = 6 };

QString alarmTypeName(AlarmType type); // "Hi Hi", "Hi", ...

struct AlarmChange
{
    QString item;
    AlarmType type = AlarmType::Discrete;
    bool active = false; // false: it returned to normal
    double value = 0;
    double limit = 0; // the limit crossed; for a discrete alarm the alarm value
    int severity = 0;
};

// Keeps the state of every alarm of the plant's rules and turns each new
// value into the changes it causes. Each limit is an alarm of its own: a
// value above Hi Hi has both Hi and Hi Hi active. A limit alarm becomes active
// when the value reaches its limit and returns to normal only once the value
// is back inside by more than the deadband, so a value that hovers about a
// limit raises it once.
class AlarmMonitor
{
public:
    explicit AlarmMonitor(QList<AlarmRule> rules);

    // The changes `value` of `item` causes, in rule order; none for an item
    // without rules.
    QList<AlarmChange> evaluate(const QString &item, double value);

    bool isActive(const QString &item, AlarmType type) const;

private:
    struct Condition
    {
        qsizetype rule = 0;
        AlarmType type = AlarmType::Discrete;
        double limit = 0;
        bool active = false;
    };

    QList<AlarmRule> m_rules;
    QList<Condition> m_conditions;
    QHash<QString, QList<qsizetype>> m_conditionsOfItem;
};

} // namespace hostrun
