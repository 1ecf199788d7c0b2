#include "nameedit.h"

#include "cmodobject.h"

#include <QApplication>
#include <QKeyEvent>

namespace {

// Backspace, the clipboard shortcuts and the like arrive as control codes and
// always reach the edit.
bool isControlCode(QChar c)
{
    return c.unicode() < 32 || c.unicode() == 127;
}

} // namespace

NameEdit::NameEdit(QWidget *parent) : QLineEdit(parent)
{
    setMaxLength(CModObject::MaxNameLength);
    connect(this, &QLineEdit::textEdited, this, &NameEdit::fitLimitToText);
}

void NameEdit::setName(const QString &name)
{
    setMaxLength(int(qMax(qsizetype(CModObject::MaxNameLength), name.size())));
    setText(name);
}

bool NameEdit::isNameCharacter(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

void NameEdit::keyPressEvent(QKeyEvent *event)
{
    const QString typed = event->text();
    for (QChar c : typed) {
        if (!isControlCode(c) && !isNameCharacter(c)) {
            QApplication::beep();
            event->accept();
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

// A name shown longer than the limit may be shortened, but never lengthened again.
void NameEdit::fitLimitToText()
{
    setMaxLength(int(qMax(qsizetype(CModObject::MaxNameLength), text().size())));
}
