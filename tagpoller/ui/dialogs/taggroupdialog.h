#pragma once

#include "cmodtaggroup.h"
#include "driverstrings.h"

#include <QDialog>

#include <optional>

class TagNameEdit;
class Notifier;

// "Tag Group": the name of a new or an existing tag group. The group takes the
// new name only when the user presses OK and the name passes every check.
//
// Controls, by object name: nameEdit, noteLabel, buttonBox.
class TagGroupDialog : public QDialog
{
    Q_OBJECT
public:
    // `siblings` are the groups beside `group`; it may be among them.
    TagGroupDialog(CModTagGroup &group, const TagGroups &siblings, Notifier &notifier,
                   QWidget *parent = nullptr);

    // Checks the name; keeps the dialog open when it is refused.
    void accept() override;

private:
    // The message number of the first rule `name` breaks, if any.
    std::optional<DriverString::Id> brokenRule(const QString &name) const;

    CModTagGroup &m_group;
    const TagGroups &m_siblings;
    Notifier &m_notifier;
    TagNameEdit *m_nameEdit = nullptr;
};
