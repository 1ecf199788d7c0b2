#pragma once

#include "archive.h"
#include "cmoddata.h"

#include <QString>

#include <memory>
#include <vector>

// The records of the host link's copy-data payloads. Each payload is one
// top-level record written in place (no class tag); its elements travel as an
// object array whose entries carry their class names, so the host runtime and
// the driver must agree on those names byte for byte.

// One item the host runtime asks for: its fully qualified name and the id
// under which it wants the values.
class CReqTag : public Record
{
    // The class name is written into host payloads: part of the exchanged format.
    ORVALA_RECORD(CReqTag)
public:
    CReqTag() = default;
    CReqTag(qint32 id, QString itemName) : requestId(id), name(std::move(itemName)) {}

    qint32 requestId = 0; // chosen by the host runtime; 0 means no id
    QString name;         // Channel.Device[.Group...].Tag

    void serialize(Archive &ar) override;
};

// An item request (copy-data code 200).
class CAryReqTags : public Record
{
    // Kept under the name the host runtime's classes use; the payload's untagged outer record.
    ORVALA_RECORD(CAryReqTags)
public:
    quint16 header = 0;   // carried along; the driver does not use it
    quint16 reserved = 0; // carried along; the driver does not use it
    std::vector<std::shared_ptr<CReqTag>> items;

    void serialize(Archive &ar) override;
};

// One value: a tag's value and quality under the host runtime's request id.
class CTxnTag : public Record
{
    // The class name is written into host payloads: part of the exchanged format.
    ORVALA_RECORD(CTxnTag)
public:
    CTxnTag() = default;
    CTxnTag(qint32 id, const CModData &tagValue, bool error)
        : requestId(id), inError(error), value(tagValue)
    {}

    qint32 requestId = 0;
    // The tag is in its error state and `value` is the last one it received.
    // Write requests leave it 0 and the driver ignores it there.
    bool inError = false;
    CModData value;

    void serialize(Archive &ar) override;
};

// A value delivery (code 300, driver to host) or a write request (code 700,
// host to driver).
class CAryTxnTags : public Record
{
    // Kept under the name the host runtime's classes use; the payload's untagged outer record.
    ORVALA_RECORD(CAryTxnTags)
public:
    quint16 reserved = 0; // the driver writes 0 and ignores what it reads
    std::vector<std::shared_ptr<CTxnTag>> entries;

    void serialize(Archive &ar) override;
};
