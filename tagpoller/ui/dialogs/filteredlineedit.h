#pragma once

#include <QLineEdit>

#include <optional>

// A one-line edit that filters what the user types: a typed character goes in
// only when acceptsCharacter() allows it; any other is dropped with a beep.
// Control characters (backspace, the clipboard shortcuts) always pass, and
// pasted or dropped text is taken as it is, unfiltered, as users of the
// Windows editor were used to.
//
// The input limit caps what the user types or pastes, like Qt's maxLength,
// but a text the program puts in with setStoredText() is shown whole even when
// it is longer: a name read from a project file must come back unchanged when
// the user accepts a dialog without touching it.
class FilteredLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    explicit FilteredLineEdit(QWidget *parent = nullptr);

    void setInputLimit(int limit);
    int inputLimit() const { return m_inputLimit; }

    // Shows `text` whole, however long; the user can shorten it but not make
    // it longer while it is beyond the input limit.
    void setStoredText(const QString &text);

Q_SIGNALS:
    // A typed character was dropped (the beep has sounded).
    void characterRejected(QChar character);

protected:
    // Whether `character`, a printable character, may be typed. The base
    // accepts none.
    virtual bool acceptsCharacter(QChar character) const;

    void keyPressEvent(QKeyEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;

private:
    // The first printable character of `text` that may not be typed, if any.
    std::optional<QChar> firstRejected(const QString &text) const;
    void reject(QChar character);
    void fitLengthLimitToText();

    int m_inputLimit = 32767; // QLineEdit's own default
};
