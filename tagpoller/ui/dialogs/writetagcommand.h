#pragma once

#include "projectfile.h"

#include <functional>

class CModDevice;
class CModObject;
class CModTag;
class ModbusRuntime;
class QWidget;

// The device whose tags the tag list shows for the selected tree object: a
// device itself, or the device a tag group sits under at any depth (the tree
// objects keep no parent, so the project's channels are searched). Nothing
// for a channel, for no selection, and for a group found under no device.
CModDevice *DeviceOfTreeObject(const CModObject *selected, const Channels &channels);

// The "WriteTag" command on the tag selected in the tag list. Does nothing,
// without a word, when no tag is selected or the tag cannot be written from
// the dialog (CanWriteFromDialog). Otherwise asks for the value with
// "Tag Value to Write" and, on OK, hands the converted value to `device`'s
// runtime, which queues the write or refuses it with its own log line.
//
// The run goes on while the dialog is open and can even end (a stop request
// of the host runtime), so `currentRuntime` is asked for the running Modbus
// runtime only once the user pressed OK; null then means nothing is written.
void WriteSelectedTag(QWidget *parent, const CModTag *tag, const CModDevice *device,
                      const std::function<ModbusRuntime *()> &currentRuntime);
