#include "itemresolver.h"

#include "devicetags.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "hostrecords.h"

#include <unordered_map>

namespace ItemResolver {

namespace {

CModChnl *findChannel(const Channels &channels, QStringView name)
{
    for (const auto &channel : channels) {
        if (channel && channel->name == name)
            return channel.get();
    }
    return nullptr;
}

void log(EventLog *eventLog, const QString &text)
{
    if (eventLog)
        eventLog->addMessage(text);
}

} // namespace

CModTag *findTag(const Channels &channels, QStringView name)
{
    // Channel: the part before the first ".".
    qsizetype dot = name.indexOf(u'.');
    if (dot < 0)
        return nullptr;
    const CModChnl *channel = findChannel(channels, name.first(dot));
    if (!channel)
        return nullptr;

    // Device: the rest must still name something below it.
    QStringView rest = name.sliced(dot + 1);
    dot = rest.indexOf(u'.');
    if (dot < 0)
        return nullptr;
    CModDevice *device = channel->findDevice(rest.first(dot));
    if (!device)
        return nullptr;
    rest = rest.sliced(dot + 1);

    // Groups, then the tag. A loop rather than recursion: the name comes from
    // another program and may hold any number of dots.
    const TagList *tags = &device->tags;
    const TagGroups *groups = &device->groups;
    for (;;) {
        dot = rest.indexOf(u'.');
        if (dot < 0)
            return tags->find(rest.toString());
        const CModTagGroup *group = TagTree::findGroup(*groups, rest.first(dot));
        if (!group)
            return nullptr;
        tags = &group->tags;
        groups = &group->groups;
        rest = rest.sliced(dot + 1);
    }
}

Result resolveItems(const Channels &channels, const CAryReqTags &request, EventLog *eventLog)
{
    Result result;
    if (request.items.empty()) {
        log(eventLog, DriverString::text(DriverString::NoItemsRequested));
        return result;
    }

    // Who holds each id now: one walk of the project per request, not one
    // per item.
    std::unordered_map<qint32, CModTag *> holders;
    for (const auto &channel : channels) {
        if (!channel)
            continue;
        for (const auto &device : channel->devices) {
            forEachDeviceTag(*device, [&](CModTag &tag) {
                if (tag.requestId != 0)
                    holders[tag.requestId] = &tag;
            });
        }
    }

    for (const auto &item : request.items) {
        CModTag *tag = item ? findTag(channels, item->name) : nullptr;
        if (tag) {
            const qint32 id = item->requestId;
            if (tag->requestId != 0 && tag->requestId != id) {
                auto previous = holders.find(tag->requestId);
                if (previous != holders.end() && previous->second == tag)
                    holders.erase(previous);
            }
            if (id != 0) {
                CModTag *&holder = holders[id];
                if (holder && holder != tag)
                    holder->setRequestId(0);
                holder = tag;
            }
            tag->setRequestId(id);
            ++result.found;
        } else {
            ++result.notFound;
            if (result.notFound <= MaxNamedNotFound)
                log(eventLog, DriverString::format(DriverString::RequestedItemNotFound,
                                                   {item ? item->name : QString()}));
        }
    }
    if (result.notFound > MaxNamedNotFound)
        log(eventLog, QStringLiteral("%1 more requested items NOT found.")
                          .arg(result.notFound - MaxNamedNotFound));

    if (result.notFound == 0) {
        log(eventLog, DriverString::format(DriverString::AllRequestedItemsFound,
                                           {QString::number(result.found)}));
    } else if (result.found > 0) {
        log(eventLog, DriverString::format(
                          DriverString::SomeRequestedItemsFound,
                          {QString::number(result.found), QString::number(result.notFound)}));
    } else {
        log(eventLog, DriverString::text(DriverString::NoRequestedItemsFound));
    }
    return result;
}

} // namespace ItemResolver
