#pragma once

#include "projectfile.h"

#include <QStringView>

class CAryReqTags;
class CModTag;
class EventLog;

// Binding the items of an item request to the project's tags by their fully
// qualified names.
namespace ItemResolver {

struct Result
{
    int found = 0;
    int notFound = 0;

    // A request succeeds when at least one of its items names a tag.
    bool succeeded() const { return found > 0; }
};

// The tag named "Channel.Device[.Group...].Tag", compared exactly. The first
// channel of that name is the only one asked, as are the first device and
// group of a name at each level below it; a tag is never found by a name that
// skips its groups. Nullptr for an empty name, a name without a ".", or a
// path that leads nowhere. Changes nothing.
CModTag *FindTag(const Channels &channels, QStringView name);

// Gives every tag the request names the item's request id, in item order (a
// tag named twice keeps the later id), and logs each item not found and then
// the summary. `log` may be null.
Result ResolveItems(const Channels &channels, const CAryReqTags &request, EventLog *log);

} // namespace ItemResolver
