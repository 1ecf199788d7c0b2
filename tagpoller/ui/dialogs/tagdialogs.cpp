#include "tagdialogs.h"

#include "aboutdialog.h"
#include "cgroupdlg.h"
#include "ctagdlg.h"
#include "ctimedmsgdlg.h"

int AddTags(QWidget *parent, TagList &tags, Notifier &notifier)
{
    CTagDlg dialog(tags, notifier, parent);
    dialog.exec();
    return dialog.addedCount();
}

bool EditTag(QWidget *parent, CModTag &tag, TagList &tags, Notifier &notifier)
{
    CTagDlg dialog(tag, tags, notifier, parent);
    return dialog.exec() == QDialog::Accepted;
}

bool EditTagGroup(QWidget *parent, CModTagGroup &group, const TagGroups &siblings,
                  Notifier &notifier)
{
    CGroupDlg dialog(group, siblings, notifier, parent);
    return dialog.exec() == QDialog::Accepted;
}

void ShowTimedMessage(QWidget *parent, const QString &text)
{
    CTimedMsgDlg dialog(text, parent);
    dialog.exec();
}

void ShowAboutBox(QWidget *parent)
{
    AboutDialog dialog(parent);
    dialog.exec();
}
