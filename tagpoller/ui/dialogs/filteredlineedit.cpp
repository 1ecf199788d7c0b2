#include "filteredlineedit.h"

#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>

#include <algorithm>

namespace {

// Characters that edit rather than type: below 32, and DEL, which Qt may
// give as the text of the Delete key.
bool isControlCharacter(QChar character)
{
    return character.unicode() < 32 || character.unicode() == 0x7F;
}

// Ctrl and Ctrl+Shift with a letter are shortcuts; QLineEdit never inserts
// their text, so there is nothing to filter.
bool isShortcutChord(const QKeyEvent &event)
{
    const Qt::KeyboardModifiers modifiers = event.modifiers() & ~Qt::KeypadModifier;
    return modifiers == Qt::ControlModifier ||
           modifiers == (Qt::ControlModifier | Qt::ShiftModifier);
}

} // namespace

FilteredLineEdit::FilteredLineEdit(QWidget *parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textChanged, this, &FilteredLineEdit::fitLengthLimitToText);
}

void FilteredLineEdit::setInputLimit(int limit)
{
    m_inputLimit = std::max(limit, 0);
    fitLengthLimitToText();
}

void FilteredLineEdit::setStoredText(const QString &text)
{
    // QLineEdit cuts a text at maxLength; raise it first so nothing is lost.
    if (text.size() > maxLength())
        setMaxLength(int(text.size()));
    setText(text);
}

bool FilteredLineEdit::acceptsCharacter(QChar) const
{
    return false;
}

void FilteredLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (!isReadOnly() && !isShortcutChord(*event)) {
        if (const std::optional<QChar> rejected = firstRejected(event->text())) {
            event->accept();
            reject(*rejected);
            return;
        }
    }
    QLineEdit::keyPressEvent(event);
}

void FilteredLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // Text composed by an input method is typed text too.
    const QString committed = event->commitString();
    if (const std::optional<QChar> rejected = firstRejected(committed)) {
        QString kept;
        for (QChar character : committed) {
            if (isControlCharacter(character) || acceptsCharacter(character))
                kept += character;
        }
        event->setCommitString(kept, event->replacementStart(), event->replacementLength());
        reject(*rejected);
    }
    QLineEdit::inputMethodEvent(event);
}

std::optional<QChar> FilteredLineEdit::firstRejected(const QString &text) const
{
    for (QChar character : text) {
        if (!isControlCharacter(character) && !acceptsCharacter(character))
            return character;
    }
    return std::nullopt;
}

void FilteredLineEdit::reject(QChar character)
{
    QApplication::beep();
    Q_EMIT characterRejected(character);
}

void FilteredLineEdit::fitLengthLimitToText()
{
    // maxLength follows the text down to the input limit as the user shortens
    // a stored text that was longer. Setting it resets the cursor, so it is
    // set only when it changes and the cursor is put back.
    const int wanted = std::max(m_inputLimit, int(text().size()));
    if (maxLength() == wanted)
        return;
    const int cursor = cursorPosition();
    setMaxLength(wanted);
    setCursorPosition(cursor);
}
