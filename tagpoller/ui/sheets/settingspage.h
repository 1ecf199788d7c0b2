#pragma once

#include "fieldreader.h"

#include <QWidget>

#include <optional>

class Notifier;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

// One page of a settings sheet, over a part of the sheet's working copy. The
// same page serves as a wizard step and as a tab.
//
// A page fills its controls from the working copy whenever it becomes active
// (no checks), and its data are taken back, with its checks, when the user
// leaves it or accepts the sheet on it.
class SettingsPage : public QWidget
{
    Q_OBJECT
public:
    explicit SettingsPage(const QString &caption, QWidget *parent = nullptr);

    const QString &caption() const { return m_caption; }

    virtual void load() = 0;
    // Reads the controls into the working copy; the first failed check ends it.
    virtual std::optional<FieldError> save() = 0;

    // save(), and on failure the message with a stop icon and the focus on the
    // control to correct. True when the data were taken.
    bool take(Notifier &notifier);

Q_SIGNALS:
    // The user edited a control, clicked a button or chose from a list.
    void changed();

protected:
    // Controls of the page, each reporting the user's changes through changed().
    QLabel *createStaticText(const QString &text);
    // An edit that takes digits only when typed.
    QLineEdit *createDigitsEdit(const QString &objectName);
    QCheckBox *createCheckBox(const QString &text, const QString &objectName);
    QComboBox *createList(const QStringList &items, const QString &objectName);
    // Radio buttons numbered 0, 1, ... in the order given.
    QButtonGroup *createRadioButtons(const QStringList &texts, const QStringList &objectNames);

    // A stored list position or radio number; one that is out of range selects nothing.
    static void showListPosition(QComboBox *list, qint64 position);
    static void showCheckedId(QButtonGroup *group, qint64 id);

    // The selection into `field`. With nothing selected (a position from a
    // file that the list does not have) the field keeps its value rather than
    // becoming -1.
    template<class Field> static void takeListPosition(const QComboBox *list, Field &field)
    {
        const int position = currentListPosition(list);
        if (position >= 0)
            field = Field(position);
    }
    template<class Field> static void takeCheckedId(const QButtonGroup *group, Field &field)
    {
        const int id = checkedId(group);
        if (id >= 0)
            field = Field(id);
    }

private:
    static int currentListPosition(const QComboBox *list);
    static int checkedId(const QButtonGroup *group);

    QString m_caption;
};
