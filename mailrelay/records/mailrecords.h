#pragma once

#include "archive.h"

#include <QString>

// The two copy-data payloads the host runtime sends to the email relay. Each is
// one bare record (its fields in order, no class tag), so the host runtime and
// the relay must agree on the field order byte for byte.

// A provider's mail account (copy-data code 100).
class CSMTPDetails : public Record
{
    // The class name is the host runtime's name for this payload: part of the exchanged format.
    ORVALA_RECORD(CSMTPDetails)
public:
    QString channelName; // "Yahoo" or "GMail", any case
    QString user;        // the account, also the sender address
    QString password;
    qint32 reserved = 1; // read and not used

    void serialize(Archive &ar) override;
};

// One email (copy-data code 200).
class CMailDetails : public Record
{
    // The class name is the host runtime's name for this payload: part of the exchanged format.
    ORVALA_RECORD(CMailDetails)
public:
    QString channelName;
    QString to;
    QString cc;
    QString bcc;
    QString subject;
    QString body;          // the text, or "@" and the path of a file holding it
    QString embeddedFiles; // paths separated by ";", for an HTML email
    qint32 html = 0;       // non-zero: an HTML email

    void serialize(Archive &ar) override;
};
