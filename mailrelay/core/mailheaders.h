#pragma once

#include <QByteArray>
#include <QString>

// Header texts of an outgoing email. Headers are 7-bit: text that is not
// printable ASCII goes out as RFC 2047 encoded words (UTF-8, base64), and line
// breaks never reach a header, so a subject cannot add headers of its own.
namespace MailHeaders {

// The text with every CR and LF replaced by a blank.
QString withoutLineBreaks(const QString &text);

// Unstructured text (a subject): as it is when printable ASCII, else encoded
// words of at most 75 characters separated by blanks, never splitting a
// character.
QByteArray encodeText(const QString &text);

// An address header's value from a normalized list: the mailboxes joined by
// ", ", each with its display name (quoted or encoded as needed).
QByteArray addressList(const QString &normalizedList);

// The envelope recipients of a normalized list: "<local@domain>" each.
QList<QByteArray> envelopeRecipients(const QString &normalizedList);

} // namespace MailHeaders
