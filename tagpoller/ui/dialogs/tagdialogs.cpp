#include "tagdialogs.h"

#include "aboutdialog.h"
#include "tagdialog.h"
#include "taggroupdialog.h"
#include "timedmessagedialog.h"

int addTagsInDialog(QWidget *parent, TagList &tags, Notifier &notifier)
{
    TagDialog dialog(tags, notifier, parent);
    dialog.exec();
    return dialog.addedCount();
}

bool editTagInDialog(QWidget *parent, CModTag &tag, TagList &tags, Notifier &notifier)
{
    TagDialog dialog(tag, tags, notifier, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool editTagGroupInDialog(QWidget *parent, CModTagGroup &group, const TagGroups &siblings,
                          Notifier &notifier)
{
    TagGroupDialog dialog(group, siblings, notifier, parent);
    return dialog.exec() == QDialog::Accepted;
}

void showTimedMessage(QWidget *parent, const QString &text)
{
    TimedMessageDialog dialog(text, parent);
    dialog.exec();
}

void showAboutBox(QWidget *parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}
