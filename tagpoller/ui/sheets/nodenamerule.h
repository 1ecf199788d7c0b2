#pragma once

#include "cmodobject.h"
#include "driverstrings.h"

#include <QStringList>

#include <optional>

// The rules a channel or device name follows, tested in this order: not empty,
// no blank, at most 40 characters, and different from the names of the nodes
// beside it (exact, case-sensitive comparison; the node itself does not count,
// so keeping a name is always allowed).
class NodeNameRule
{
public:
    // The texts that report each broken rule.
    struct Messages
    {
        DriverString::Id empty;
        DriverString::Id hasBlank;
        DriverString::Id tooLong;
        DriverString::Id exists;
    };

    static Messages rtuChannelMessages();
    static Messages tcpChannelMessages();
    static Messages deviceMessages();

    NodeNameRule(const Messages &messages, QStringList takenNames);

    // The names of `siblings` other than `self`.
    template<class Nodes>
    static QStringList namesOfOthers(const Nodes &siblings, const CModObject *self)
    {
        QStringList names;
        for (const auto &sibling : siblings) {
            if (sibling.get() != self)
                names << sibling->name;
        }
        return names;
    }

    // The text of the first rule `name` breaks, or nothing when it is fine.
    std::optional<DriverString::Id> check(const QString &name) const;

private:
    Messages m_messages;
    QStringList m_takenNames;
};
