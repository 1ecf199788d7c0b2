#pragma once

#include "cmoddevice.h"
#include "datatypes.h"
#include "tagaddress.h"

#include <memory>

// Builds devices with tags for the planning tests.
inline CModTag &addTag(TagList &list, const QString &name, const char *address,
                       int dataType = DataTypeCode::Word)
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = name;
    tag->TagAddress = QString::fromLatin1(address);
    tag->AddressNumber = AddressText::leadingNumber(tag->TagAddress);
    tag->DataType = dataType;
    CModTag &added = *tag;
    list.append(std::move(tag));
    return added;
}

inline std::shared_ptr<CModTagGroup> addGroup(TagGroups &groups, const QString &name)
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = name;
    groups.push_back(group);
    return group;
}

inline std::unique_ptr<CModTCPDev> makeDevice(const QString &name = QStringLiteral("Device1"))
{
    auto device = std::make_unique<CModTCPDev>();
    device->name = name;
    return device;
}
