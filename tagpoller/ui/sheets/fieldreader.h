#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <optional>

class QLineEdit;
class QWidget;

// A check that failed while a page's data were taken: what to tell the user,
// and the control that gets the focus so that they can correct it.
struct FieldError
{
    QString message;
    QWidget *control = nullptr;
};

// Reads the numbers of a page's edits into the working copy, with the checks
// and messages the settings pages have always had. The first failing check
// wins: the reader then leaves the remaining fields alone, so a page reads its
// fields in order and asks for error() once at the end. A field whose check
// fails keeps its value.
class FieldReader
{
public:
    // Unsigned fields show and take their value as an unsigned 32-bit number.
    void unsignedNumber(QLineEdit *edit, qint32 &field);
    void unsignedNumber(QLineEdit *edit, qint32 &field, quint32 minimum, quint32 maximum);
    // For controls that are not plain edits: `text` is what the control shows.
    void unsignedNumber(QWidget *control, const QString &text, qint32 &field, quint32 minimum,
                        quint32 maximum);
    void signedNumber(QLineEdit *edit, qint32 &field, qint32 minimum, qint32 maximum);
    void byteNumber(QLineEdit *edit, quint8 &field, quint8 minimum, quint8 maximum);
    // A check of the page's own, such as the name rule.
    void fail(QWidget *control, const QString &message);

    bool failed() const { return m_error.has_value(); }
    const std::optional<FieldError> &error() const { return m_error; }

    // The text an unsigned field shows for a stored value.
    static QString unsignedText(qint32 value);

    // The conversions behind the checks. Blanks and tabs around the number are
    // allowed, and so is a "+"; an unsigned number takes no "-". A number too
    // large for 32 bits becomes the largest one, as the C library converted it,
    // so that the range check reports it.
    static std::optional<quint32> parseUnsigned(QStringView text);
    static std::optional<qint32> parseSigned(QStringView text);

    static QString rangeMessage(qint64 minimum, qint64 maximum);

private:
    std::optional<FieldError> m_error;
};
