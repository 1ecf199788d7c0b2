#pragma once

#include "cmodchnl.h"
#include "projectfile.h"

class Notifier;
class QWidget;

// The settings of channels and devices. A node that is still new (isNew) is
// edited in a wizard, one page after the other; an accepted node in a tabbed
// sheet with OK, Cancel and Apply. Both work on a copy and write it back only
// when the user accepts (or applies); accepting clears isNew.
//
// `siblings` are the channels, or the devices of the channel, the node belongs
// to (the node itself may be among them): names must differ from theirs.
// Returns true when the node took the sheet's settings: the user accepted, or
// pressed Apply before cancelling (the project then has changes to save).
//
// The sheets themselves (WizardSheet, TabbedSheet over a ChannelEditor or
// DeviceEditor) can be built directly, without exec(), for tests.
bool editChannelProperties(QWidget *parent, CModChnl &channel, const Channels &siblings,
                           Notifier &notifier);
bool editDeviceProperties(QWidget *parent, CModDevice &device, const Devices &siblings,
                          Notifier &notifier);
