#include "channeleditor.h"

#include "channelcommunicationspage.h"
#include "channeloptimizationspage.h"
#include "networkinterfacepage.h"
#include "nodenamepage.h"
#include "nodesettings.h"

ChannelEditor::ChannelEditor(CModChnl &channel, const Channels &siblings)
    : m_channel(channel)
    , m_workingCopy(NodeSettings::workingCopy(channel))
    , m_nameRule(isTcp() ? NodeNameRule::tcpChannelMessages() : NodeNameRule::rtuChannelMessages(),
                 NodeNameRule::namesOfOthers(siblings, &channel))
{}

QString ChannelEditor::caption() const
{
    return isTcp() ? QStringLiteral("TCP Channel Properties")
                   : QStringLiteral("RTU Channel Properties");
}

QList<SettingsPage *> ChannelEditor::createPages(QWidget *parent)
{
    QList<SettingsPage *> pages;
    pages << new NodeNamePage(NodeNamePage::Subject::Channel, m_workingCopy->name, m_nameRule,
                              parent);
    if (isTcp())
        pages << new NetworkInterfacePage(static_cast<CModTCPChnl &>(*m_workingCopy), parent);
    else
        pages << new ChannelCommunicationsPage(static_cast<CModRTUChnl &>(*m_workingCopy), parent);
    pages << new ChannelOptimizationsPage(*m_workingCopy, parent);
    return pages;
}

void ChannelEditor::writeBack()
{
    NodeSettings::copy(*m_workingCopy, m_channel);
    m_channel.isNew = false;
}
