#pragma once

#include "nodeeditor.h"
#include "nodenamerule.h"
#include "projectfile.h"

#include <memory>

// The settings of an RTU or TCP channel, for "RTU Channel Properties" or
// "TCP Channel Properties".
class ChannelEditor : public NodeEditor
{
public:
    // `siblings` are the project's channels; `channel` may be among them.
    ChannelEditor(CModChnl &channel, const Channels &siblings);

    QString caption() const override;
    bool isNew() const override { return m_channel.isNew; }
    QList<SettingsPage *> createPages(QWidget *parent) override;
    void writeBack() override;

    const CModChnl &workingCopy() const { return *m_workingCopy; }

private:
    bool isTcp() const { return m_channel.kind() == CModChnl::TcpKind; }

    CModChnl &m_channel;
    std::unique_ptr<CModChnl> m_workingCopy;
    NodeNameRule m_nameRule;
};
