#pragma once

#include "cmodtaggroup.h"

class Notifier;
class QWidget;

// The "Tag Properties" dialog on the tag list of a device or group, adding
// new tags one after the other; returns how many tags were added to `tags`.
int addTagsInDialog(QWidget *parent, TagList &tags, Notifier &notifier);

// The same dialog on one tag of `tags`; true when the user accepted its changes.
bool editTagInDialog(QWidget *parent, CModTag &tag, TagList &tags, Notifier &notifier);

// The "Tag Group" dialog; `siblings` are the groups beside it (the group itself
// may be among them). True when the user accepted.
bool editTagGroupInDialog(QWidget *parent, CModTagGroup &group, const TagGroups &siblings,
                          Notifier &notifier);

// A message box that closes itself after 10 seconds.
void showTimedMessage(QWidget *parent, const QString &text);

// "About Modbus Driver".
void showAboutBox(QWidget *parent);
