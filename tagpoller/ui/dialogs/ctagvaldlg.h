#pragma once

#include <QDialog>
#include <QString>

class CModTag;
class QLineEdit;

// "Tag Value to Write": asks for the value to write to one tag while the
// driver runs. The dialog only collects the text; TagValueFromText reads it.
//
// Controls, by object name: tagNameLabel, valueEdit, buttonBox.
class CTagValDlg : public QDialog
{
    Q_OBJECT
public:
    explicit CTagValDlg(const CModTag &tag, QWidget *parent = nullptr);

    // What the user typed, once the dialog was closed with OK; empty before.
    QString valueText() const { return m_valueText; }

    void accept() override;

private:
    QString m_valueText;
    QLineEdit *m_valueEdit = nullptr;
};
