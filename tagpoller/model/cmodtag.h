#pragma once

#include "archive.h"
#include "cmoddata.h"

#include <QString>

// One Modbus data item: an address text with a data type and a client access,
// and at run time its current value.
class CModTag : public Record
{
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModTag)
public:
    // Run-time state bits, not stored.
    enum Flag : quint32 {
        ErrorState = 0x1,   // the last read failed; the value is not good
        ValuePresent = 0x2, // a value has been read since run mode started
        Redraw = 0x4,       // the tag list has not yet shown the latest state
        // the registers hold no value of the tag's type (a BCD digit above 9),
        // and the event log has said so once
        InvalidValueReported = 0x8,
    };

    static constexpr int MaxNameLength = 40;

    CModTag() = default;

    // Stored settings, in file order.
    QString TagName;
    QString Description;
    QString TagAddress = QStringLiteral("400001");
    qint32 AddressNumber = 400001; // leading digits of TagAddress
    quint8 BitNumber = 0;
    qint32 DataType = 5;     // DataTypeCode, Word
    qint32 ClientAccess = 1; // ClientAccessCode, read/write
    qint32 ScanRate = 1000;  // ms, 100 to 100000 in steps of 100

    // Run-time state.
    CModData value;
    qint32 requestId = 0; // the host runtime's item id for this tag, 0 if none
    quint32 flags = Redraw;
    qint64 lastGoodRead = 0; // ms since the epoch of the last good read this run; 0: none

    void setRequestId(qint32 id) { requestId = id; }
    CModTag *matchRequestId(qint32 id) { return id != 0 && requestId == id ? this : nullptr; }

    void serialize(Archive &ar) override;

    // Names are letters and digits, as the platform's alphanumeric test has
    // them, and "_".
    static bool isNameCharacter(QChar c) { return c.isLetterOrNumber() || c == u'_'; }
    static bool isValidName(QStringView name);
};
