#include "taggroupdialog.h"

#include "notifier.h"
#include "objectnames.h"
#include "tagnameedit.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

TagGroupDialog::TagGroupDialog(CModTagGroup &group, const TagGroups &siblings, Notifier &notifier,
                               QWidget *parent)
    : QDialog(parent), m_group(group), m_siblings(siblings), m_notifier(notifier)
{
    setWindowTitle(QStringLiteral("Tag Group"));

    m_nameEdit = new TagNameEdit(this);
    m_nameEdit->setObjectName(QStringLiteral("nameEdit"));
    m_nameEdit->setInputLimit(CModObject::MaxNameLength);
    m_nameEdit->setStoredText(group.name);

    // The Windows editor's text, line break and all.
    auto *note = new QLabel(QStringLiteral("A Tag group name can be from 1 to 40 characters in "
                                           "length. \r\n Names can not contain spaces."),
                            this);
    note->setObjectName(QStringLiteral("noteLabel"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("buttonBox"));
    connect(buttons, &QDialogButtonBox::accepted, this, &TagGroupDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &TagGroupDialog::reject);

    auto *nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Tag Group Name:"), this));
    nameRow->addWidget(m_nameEdit, 1);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(nameRow);
    layout->addWidget(note);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

std::optional<DriverString::Id> TagGroupDialog::brokenRule(const QString &name) const
{
    if (name.isEmpty())
        return DriverString::EnterTagGroupName;
    if (name.contains(u' '))
        return DriverString::TagGroupNameHasSpace;
    if (name.size() > CModObject::MaxNameLength)
        return DriverString::TagGroupNameTooLong;
    for (const auto &sibling : m_siblings) {
        if (sibling.get() != &m_group && sibling->name == name)
            return DriverString::GroupNameExists;
    }
    return std::nullopt;
}

void TagGroupDialog::accept()
{
    const QString name = m_nameEdit->text();
    if (const std::optional<DriverString::Id> rule = brokenRule(name)) {
        m_notifier.showMessage(DriverString::text(*rule), Notifier::Icon::Stop);
        m_nameEdit->setFocus(Qt::OtherFocusReason);
        return;
    }
    // A dot would split the host's item path; names already stored keep loading.
    if (name != m_group.name) {
        const QString dotted = ObjectNames::checkNewName(name, ObjectNames::Kind::TagGroup);
        if (!dotted.isEmpty()) {
            m_notifier.showMessage(dotted, Notifier::Icon::Stop);
            m_nameEdit->setFocus(Qt::OtherFocusReason);
            return;
        }
    }
    m_group.name = name;
    QDialog::accept();
}
