#include "nodenamerule.h"

NodeNameRule::Messages NodeNameRule::rtuChannelMessages()
{
    return {DriverString::EnterRtuChannelName, DriverString::ChannelNameHasSpace,
            DriverString::ChannelNameTooLong, DriverString::ChannelNameExists};
}

NodeNameRule::Messages NodeNameRule::tcpChannelMessages()
{
    return {DriverString::EnterTcpChannelName, DriverString::ChannelNameHasSpace,
            DriverString::ChannelNameTooLong, DriverString::ChannelNameExists};
}

NodeNameRule::Messages NodeNameRule::deviceMessages()
{
    return {DriverString::EnterDeviceName, DriverString::DeviceNameHasSpace,
            DriverString::DeviceNameTooLong, DriverString::DeviceNameExists};
}

NodeNameRule::NodeNameRule(const Messages &messages, QStringList takenNames)
    : m_messages(messages), m_takenNames(std::move(takenNames))
{}

std::optional<DriverString::Id> NodeNameRule::check(const QString &name) const
{
    if (name.isEmpty())
        return m_messages.empty;
    if (name.contains(u' '))
        return m_messages.hasBlank;
    if (name.size() > CModObject::MaxNameLength)
        return m_messages.tooLong;
    if (m_takenNames.contains(name, Qt::CaseSensitive))
        return m_messages.exists;
    return std::nullopt;
}
