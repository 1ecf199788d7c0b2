#pragma once

#include "archiveerror.h"
#include "mailrecords.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The email relay's window, its copy-data codes and its close message, shared
// by the relay and the host side.
namespace MailProtocol {
inline constexpr char WindowTitle[] = "Orvala Email Client";
inline constexpr quint64 AccountCode = 100;
inline constexpr quint64 EmailCode = 200;
inline constexpr quint32 CloseWhenDrainedMessage = 0x0400 + 219; // WM_USER + 219
} // namespace MailProtocol

// Encoding and decoding of the two payloads. Decoding never half-fills: on
// failure the target is left as it was and the status says what was wrong.
namespace MailPayload {

QByteArray encodeAccount(const CSMTPDetails &account);
QByteArray encodeEmail(const CMailDetails &email);

ArchiveStatus decodeAccount(QByteArrayView payload, CSMTPDetails &account);
ArchiveStatus decodeEmail(QByteArrayView payload, CMailDetails &email);

} // namespace MailPayload
