#pragma once

#include "projectfile.h"

#include <functional>

class CModDevice;
class CModObject;
class CModTag;
class ModbusRuntime;
class Notifier;
class QWidget;

// The device whose tags the tag list shows for the selected tree object: a
// device itself, or the device a tag group sits under at any depth (the tree
// objects keep no parent, so the project's channels are searched). Nothing
// for a channel, for no selection, and for a group found under no device.
CModDevice *deviceOfTreeObject(const CModObject *selected, const Channels &channels);

// The tag selected in the tag list and the device it is written through.
struct WriteTarget
{
    const CModTag *tag = nullptr;
    const CModDevice *device = nullptr;
};

// The "WriteTag" command on the tag selected in the tag list. Does nothing,
// without a word, when no tag is selected or the tag cannot be written from
// the dialog (canWriteFromDialog); a tag whose type the dialog cannot write
// gets a message instead of the dialog. Otherwise asks for the value with
// "Tag Value to Write" and, on OK, hands the converted value to the device's
// runtime, which queues the write or refuses it with its own log line.
//
// The run goes on while the dialog is open and can even end (a stop request
// of the host runtime, the project closed with it), so once the user pressed
// OK `selection` is asked again and must still name the same tag and device,
// and `currentRuntime` is asked for the running Modbus runtime; anything else
// means nothing is written.
void writeSelectedTag(QWidget *parent, Notifier &notifier,
                      const std::function<WriteTarget()> &selection,
                      const std::function<ModbusRuntime *()> &currentRuntime);
