#pragma once

#include "cmodtag.h"

#include <QDialog>

#include <memory>

class TagAddressEdit;
class TagNameEdit;
class Notifier;
class QComboBox;
class QLineEdit;
class QToolButton;
class TagList;

// "Tag Properties": adds new tags to a tag list, or edits one tag of it.
//
// The dialog works on a tag of its own, the working tag. Adding appends the
// working tag to the list at once (OK and the two add buttons beside the name
// and the address), so a Cancel afterwards keeps the tags added so far.
// Editing changes the edited tag only when the user presses OK; a new name
// goes through the list so that its name index follows.
//
// Controls, by object name: nameEdit, addressEdit, descriptionEdit,
// dataTypeList, clientAccessList, scanRateEdit (hidden), addDefaultButton,
// addNextButton, buttonBox.
class TagDialog : public QDialog
{
    Q_OBJECT
public:
    // New tags for `tags`.
    TagDialog(TagList &tags, Notifier &notifier, QWidget *parent = nullptr);
    // The tag `tag` of `tags`.
    TagDialog(CModTag &tag, TagList &tags, Notifier &notifier, QWidget *parent = nullptr);

    bool isEditMode() const { return m_editedTag != nullptr; }
    // Tags this dialog has appended to the list.
    int addedCount() const { return m_addedCount; }

    // Takes the data; keeps the dialog open when it is refused.
    void accept() override;

Q_SIGNALS:
    // `tag` was appended to the end of the list.
    void tagAdded(CModTag *tag);

private:
    void buildControls();
    void showWorkingTag();
    // Moves the controls' contents into the working tag, with every check and
    // its message; false (focus on the control at fault) when refused.
    bool takeData();
    bool takeScanRate();
    bool refuse(QWidget *control, const QString &message);
    bool isNameTakenByAnotherTag(const QString &name) const;

    void addWorkingTag();
    void addAndStartDefault();
    void addAndStartNext();
    void applyToEditedTag();

    TagList &m_tags;
    Notifier &m_notifier;
    CModTag *m_editedTag = nullptr;
    std::shared_ptr<CModTag> m_workingTag;
    int m_addedCount = 0;

    TagNameEdit *m_nameEdit = nullptr;
    TagAddressEdit *m_addressEdit = nullptr;
    QLineEdit *m_descriptionEdit = nullptr;
    QComboBox *m_dataTypeList = nullptr;
    QComboBox *m_clientAccessList = nullptr;
    QLineEdit *m_scanRateEdit = nullptr;
    QToolButton *m_addDefaultButton = nullptr;
    QToolButton *m_addNextButton = nullptr;
};
