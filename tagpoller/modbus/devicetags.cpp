#include "devicetags.h"

#include "cmoddevice.h"
#include "driverstrings.h"

namespace {

void visitTags(const TagList &tags, const TagGroups &groups,
               const std::function<void(CModTag &)> &visit)
{
    for (const auto &tag : tags)
        visit(*tag);
    for (const auto &group : groups)
        visitTags(group->tags, group->groups, visit);
}

QString withName(DriverString::Id id, const QString &name)
{
    return DriverString::text(id).replace(QStringLiteral("%s"), name);
}

bool groupHasTags(const CModTagGroup &group, QStringList &messages)
{
    if (!group.tags.isEmpty())
        return true;
    for (const auto &subgroup : group.groups) {
        if (groupHasTags(*subgroup, messages))
            return true;
    }
    messages << withName(DriverString::TagGroupHasNoTags, group.name);
    return false;
}

} // namespace

void forEachDeviceTag(const CModDevice &device, const std::function<void(CModTag &)> &visit)
{
    visitTags(device.tags, device.groups, visit);
}

bool checkHasTags(const CModDevice &device, QStringList &messages)
{
    if (!device.tags.isEmpty())
        return true;
    // Every group is examined, so each empty one is reported.
    bool hasTags = false;
    for (const auto &group : device.groups) {
        if (groupHasTags(*group, messages))
            hasTags = true;
    }
    if (!hasTags)
        messages << withName(DriverString::DeviceHasNoTags, device.name);
    return hasTags;
}
