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
CModTag *findTag(const Channels &channels, QStringView name);

// Gives every tag the request names the item's request id, in item order (a
// tag named twice keeps the later id), and logs each item not found (the first
// MaxNamedNotFound of them, then their count) and then the summary. An id
// given to a tag is taken away from any other tag that held it, so the values
// and writes of an id always belong to one tag. `log` may be null.
inline constexpr int MaxNamedNotFound = 1000;
Result resolveItems(const Channels &channels, const CAryReqTags &request, EventLog *log);

} // namespace ItemResolver
