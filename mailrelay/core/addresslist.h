#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// Recipient lists as the host runtime writes them: addresses separated by ","
// or ";", each either a bare mailbox or a mailbox in angle brackets after an
// optional display name.
//
// The format check accepts `[display name] <local@domain>` where
// - the display name is any text without "<", ">", CR or LF (it may be quoted);
// - the brackets close the address: nothing but blanks follows ">";
// - local is 1 to 64 characters of letters, digits and !#$%&'*+-/=?^_`{|}~,
//   with single dots between them (no quoted local parts);
// - domain is one label or several joined by single dots, at most 253
//   characters; a label is 1 to 63 letters, digits or hyphens and neither
//   starts nor ends with a hyphen (no address literals);
// - nothing inside the brackets is a blank or a control character.
namespace AddressList {

// True for an address that passes the format check above.
bool isValidAddress(const QString &address);

// The list in normal form: each address trimmed, wrapped in angle brackets
// when it has none, checked, and the addresses joined by ";". An empty list
// stays empty. Nothing when any address of the list fails (an empty one too,
// so two separators in a row or a leading separator make the list invalid; a
// trailing separator does not).
std::optional<QString> normalized(const QString &list);

// The parts of one address of a normalized list.
struct Mailbox
{
    QString displayName; // without quotes, blanks trimmed; may be empty
    QString address;     // local@domain, without brackets
};
Mailbox splitAddress(const QString &address);

// The mailboxes of a normalized list, in order.
QList<Mailbox> mailboxes(const QString &normalizedList);

} // namespace AddressList
