#pragma once

#include <QLineEdit>

// The edit of a channel or device name. Typing takes letters, digits and "_"
// only; anything else beeps and is dropped. Pasted text is not filtered, which
// is why the name rule still tests for blanks. The user can enter at most 40
// characters, but a longer name (read from a file) is shown whole, so that the
// length rule reports it instead of the edit cutting it off unnoticed.
class NameEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit NameEdit(QWidget *parent = nullptr);

    void setName(const QString &name);

    // Whether `c` may be typed into a name.
    static bool isNameCharacter(QChar c);

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void fitLimitToText();
};
