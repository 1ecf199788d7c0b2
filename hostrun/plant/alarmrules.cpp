#include "alarmrules.h"

namespace hostrun {

QString alarmTypeName(AlarmType type)
{
    switch (type) {
    case AlarmType::Discrete:
        return QStringLiteral("Discrete");
    case AlarmType::HiHi:
        return QStringLiteral("Hi Hi");
    case AlarmType::Hi:
        return QStringLiteral("Hi");
    case AlarmType::Lo:
        return QStringLiteral("Lo");
    case AlarmType::LoLo:
        return QStringLiteral("Lo Lo");
    }
    return QString();
}

AlarmMonitor::AlarmMonitor(QList<AlarmRule> rules) : m_rules(std::move(rules))
{
    for (qsizetype r = 0; r < m_rules.size(); ++r) {
        const AlarmRule &rule = m_rules.at(r);
        const auto add = [&](AlarmType type, double limit) {
            m_conditionsOfItem[rule.item].append(m_conditions.size());
            m_conditions.append({r, type, limit, false});
        };
        if (rule.discrete)
            add(AlarmType::Discrete, rule.activeWhen ? 1 : 0);
        if (rule.hiHi)
            add(AlarmType::HiHi, *rule.hiHi);
        if (rule.hi)
            add(AlarmType::Hi, *rule.hi);
        if (rule.lo)
            add(AlarmType::Lo, *rule.lo);
        if (rule.loLo)
            add(AlarmType::LoLo, *rule.loLo);
    }
}

QList<AlarmChange> AlarmMonitor::evaluate(const QString &item, double value)
{
    QList<AlarmChange> changes;
    const auto found = m_conditionsOfItem.constFind(item);
    if (found == m_conditionsOfItem.constEnd())
        return changes;
    for (const qsizetype index : *found) {
        Condition &condition = m_conditions[index];
        const AlarmRule &rule = m_rules.at(condition.rule);
        bool active = condition.active;
        switch (condition.type) {
        case AlarmType::Discrete:
            active = (value != 0) == rule.activeWhen;
            break;
        case AlarmType::HiHi:
        case AlarmType::Hi:
            if (value >= condition.limit)
                active = true;
            else if (value < condition.limit - rule.deadband)
                active = false;
            break;
        case AlarmType::Lo:
        case AlarmType::LoLo:
            if (value <= condition.limit)
                active = true;
            else if (value > condition.limit + rule.deadband)
                active = false;
            break;
        }
        if (active == condition.active)
            continue;
        condition.active = active;
        changes.append({item, condition.type, active, value, condition.limit, rule.severity});
    }
    return changes;
}

bool AlarmMonitor::isActive(const QString &item, AlarmType type) const
{
    for (const qsizetype index : m_conditionsOfItem.value(item)) {
        if (m_conditions.at(index).type == type)
            return m_conditions.at(index).active;
    }
    return false;
}

} // namespace hostrun
