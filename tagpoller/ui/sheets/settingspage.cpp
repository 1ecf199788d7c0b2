#include "settingspage.h"

#include "notifier.h"

#include <QAbstractSpinBox>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>

SettingsPage::SettingsPage(const QString &caption, QWidget *parent)
    : QWidget(parent), m_caption(caption)
{}

bool SettingsPage::take(Notifier &notifier)
{
    const std::optional<FieldError> error = save();
    if (!error)
        return true;
    notifier.showMessage(error->message, Notifier::Icon::Stop);
    if (QWidget *control = error->control) {
        control->setFocus(Qt::OtherFocusReason);
        // The whole wrong entry is selected, ready to be typed over.
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->selectAll();
        else if (auto *spinBox = qobject_cast<QAbstractSpinBox *>(control))
            spinBox->selectAll();
    }
    return false;
}

QLabel *SettingsPage::createStaticText(const QString &text)
{
    auto *label = new QLabel(text, this);
    label->setWordWrap(true);
    return label;
}

QLineEdit *SettingsPage::createDigitsEdit(const QString &objectName)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
    connect(edit, &QLineEdit::textEdited, this, &SettingsPage::changed);
    return edit;
}

QCheckBox *SettingsPage::createCheckBox(const QString &text, const QString &objectName)
{
    auto *box = new QCheckBox(text, this);
    box->setObjectName(objectName);
    connect(box, &QAbstractButton::clicked, this, &SettingsPage::changed);
    return box;
}

QComboBox *SettingsPage::createList(const QStringList &items, const QString &objectName)
{
    auto *list = new QComboBox(this);
    list->setObjectName(objectName);
    list->addItems(items);
    connect(list, &QComboBox::activated, this, &SettingsPage::changed);
    return list;
}

QButtonGroup *SettingsPage::createRadioButtons(const QStringList &texts,
                                               const QStringList &objectNames)
{
    Q_ASSERT(texts.size() == objectNames.size());
    auto *group = new QButtonGroup(this);
    for (qsizetype i = 0; i < texts.size(); ++i) {
        auto *button = new QRadioButton(texts.at(i), this);
        button->setObjectName(objectNames.at(i));
        group->addButton(button, int(i));
    }
    connect(group, &QButtonGroup::idClicked, this, &SettingsPage::changed);
    return group;
}

void SettingsPage::showListPosition(QComboBox *list, qint64 position)
{
    list->setCurrentIndex(position >= 0 && position < list->count() ? int(position) : -1);
}

void SettingsPage::showCheckedId(QButtonGroup *group, qint64 id)
{
    const bool known = id >= 0 && id < group->buttons().size();
    if (QAbstractButton *button = known ? group->button(int(id)) : nullptr) {
        button->setChecked(true);
        return;
    }
    // An exclusive group never unchecks its last button by itself.
    group->setExclusive(false);
    for (QAbstractButton *button : group->buttons())
        button->setChecked(false);
    group->setExclusive(true);
}

int SettingsPage::currentListPosition(const QComboBox *list)
{
    return list->currentIndex();
}

int SettingsPage::checkedId(const QButtonGroup *group)
{
    return group->checkedId();
}
