#pragma once

#include <QStringList>

#include <functional>

class CModDevice;
class CModTag;

// The order in which a device's tags are planned and reset: its own tags, then
// each group's own tags followed by its subgroups, depth first, in project order.
void forEachDeviceTag(const CModDevice &device, const std::function<void(CModTag &)> &visit);

// Whether the device has a tag to read at run start. A group without tags of
// its own looks at its subgroups in order until one has tags; every group
// found empty, and an empty device, adds its event log line to `messages`.
bool checkHasTags(const CModDevice &device, QStringList &messages);
