#pragma once

#include "projectfile.h"

#include <QByteArray>
#include <QJsonObject>
#include <QStringList>

// The JSON form of a project:
//   {"channels": [{"kind": "tcp" | "rtu", "ChannelName": ..., every setting
//     under its name, "devices": [{"DeviceName": ..., ..., "tags": [...],
//     "groups": [{"GroupName": ..., "tags": [...], "groups": [...]}]}]}]}
// Every key is written; flags are booleans, numbers integers, the IP address
// of a TCP channel a "a.b.c.d" text. ProjectJsonReader reads it back.
namespace ProjectJson {

QJsonObject toJson(const Channels &channels);

// toJson printed with four-space indents and the keys of each object in the
// order of keyOrder(), as UTF-8 ending in a line break.
QByteArray toText(const Channels &channels);

// Node names and kind first, then the settings in the order of the driver's
// pages and of the project file, child lists last.
const QStringList &keyOrder();

} // namespace ProjectJson
