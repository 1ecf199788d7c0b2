#pragma once

#include "archive.h"

#include <QString>
#include <QStringView>

class CModTag;
class TagList;

// The base of channels, devices and tag groups. Tree operations are virtual
// and do nothing unless a node kind overrides them.
class CModObject : public Record
{
public:
    static constexpr int MaxNameLength = 40;

    // Set while a new channel or device has not yet been accepted in its
    // editor (which is then shown as a wizard); cleared on acceptance and
    // for every object read from a file.
    bool isNew = true;
    quint16 recordVersion = 0; // written as 0, kept from the file when read
    QString name;              // ChannelName, DeviceName or GroupName

    virtual bool isDevice() const { return false; }
    virtual bool isChannel() const { return false; }
    virtual bool isTagGroup() const { return false; }

    // The node's own tags (not those of its groups), or nullptr for channels.
    virtual TagList *tagList() { return nullptr; }
    virtual qsizetype tagCount() const { return 0; }
    // Removes the tag from the node's own list and destroys it.
    virtual bool removeTag(const CModTag *) { return false; }

    // Resolves "Group.Sub.Tag" below this node (a channel starts with the
    // device name); on a match the tag takes `requestId`. Names compare exactly.
    virtual CModTag *findTagByPath(QStringView, qint32) { return nullptr; }
    virtual CModTag *findTagByRequestId(qint32) { return nullptr; }

    void serialize(Archive &ar) override;
};
