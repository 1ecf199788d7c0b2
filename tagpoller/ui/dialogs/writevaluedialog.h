#pragma once

#include <QDialog>
#include <QString>

class CModTag;
class Notifier;
class QLineEdit;

// "Tag Value to Write": asks for the value to write to one tag while the
// driver runs. OK takes only text that is wholly a number of the tag's type
// and otherwise says why and stays open; tagValueFromText reads the text.
// The dialog keeps no reference to the tag, which a run that ends while it is
// open may take away.
//
// Controls, by object name: tagNameLabel, valueEdit, buttonBox.
class WriteValueDialog : public QDialog
{
    Q_OBJECT
public:
    WriteValueDialog(const CModTag &tag, Notifier &notifier, QWidget *parent = nullptr);

    // What the user typed, once the dialog was closed with OK; empty before.
    QString valueText() const { return m_valueText; }

    void accept() override;

private:
    Notifier &m_notifier;
    quint8 m_typeCode = 0;
    QString m_valueText;
    QLineEdit *m_valueEdit = nullptr;
};
