#pragma once

#include "cmodchnl.h"
#include "cmoddata.h"
#include "datatypes.h"
#include "hostrecords.h"
#include "projectfile.h"
#include "tagaddress.h"

#include <QByteArray>
#include <QString>

#include <memory>
#include <string>

namespace hostlinktest {

// Golden bytes are written as hex text: "FF FE FF 05 41 00".
inline QByteArray hexBytes(const char *text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

inline std::string toHex(const QByteArray &bytes)
{
    return bytes.toHex(' ').toStdString();
}

inline CModData wordValue(quint16 value)
{
    CModData data;
    data.setWord(value);
    return data;
}

inline CModData booleanValue(bool value)
{
    CModData data;
    data.setBoolean(value);
    return data;
}

inline CModData doubleValue(double value)
{
    CModData data;
    data.setDouble(value);
    return data;
}

inline CModData longValue(qint32 value)
{
    CModData data;
    data.setLong(value);
    return data;
}

inline std::shared_ptr<CReqTag> item(qint32 requestId, const QString &name)
{
    return std::make_shared<CReqTag>(requestId, name);
}

inline std::shared_ptr<CTxnTag> entry(qint32 requestId, const CModData &value, bool inError = false)
{
    return std::make_shared<CTxnTag>(requestId, value, inError);
}

// "header=1 reserved=0 [7 'A.B.C'] [9 '']": every field, for comparisons
// that name what differs.
inline std::string describe(const CAryReqTags &request)
{
    QString text =
        QStringLiteral("header=%1 reserved=%2").arg(request.header).arg(request.reserved);
    for (const auto &item : request.items)
        text += QStringLiteral(" [%1 '%2']").arg(item->requestId).arg(item->name);
    return text.toStdString();
}

inline std::string describe(const CModData &value)
{
    if (value.type() == DataTypeCode::Float || value.type() == DataTypeCode::Double)
        return QStringLiteral("type %1 value %2")
            .arg(value.type())
            .arg(value.asDouble(), 0, 'g', 17)
            .toStdString();
    return QStringLiteral("type %1 value %2")
        .arg(value.type())
        .arg(value.asInteger64())
        .toStdString();
}

inline std::string describe(const CAryTxnTags &values)
{
    std::string text = "reserved=" + std::to_string(values.reserved);
    for (const auto &entry : values.entries) {
        text += " [" + std::to_string(entry->requestId) + (entry->inError ? " error " : " ") +
                describe(entry->value) + "]";
    }
    return text;
}

inline CModTag &addTag(TagList &tags, const QString &name, int access = ClientAccessCode::ReadWrite,
                       const QString &address = QStringLiteral("400001"))
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = name;
    tag->TagAddress = address;
    tag->AddressNumber = AddressText::leadingNumber(address);
    tag->ClientAccess = access;
    CModTag &added = *tag;
    tags.append(std::move(tag));
    return added;
}

template<class Device = CModTCPDev>
Device &addDevice(CModChnl &channel, const QString &name, int id)
{
    auto device = std::make_shared<Device>();
    device->name = name;
    device->DeviceId = id;
    Device &added = *device;
    channel.devices.push_back(std::move(device));
    return added;
}

inline CModTagGroup &addGroup(TagGroups &groups, const QString &name)
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = name;
    CModTagGroup &added = *group;
    groups.push_back(std::move(group));
    return added;
}

} // namespace hostlinktest
