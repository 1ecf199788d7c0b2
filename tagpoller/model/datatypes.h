#pragma once

#include <QString>
#include <QStringView>

#include <optional>

// Data type codes of a tag (DataType) and the names under which each is shown:
// in the tag dialog, the tag list, and the two CSV formats.
namespace DataTypeCode {

enum Code : int {
    String = 0,
    Boolean = 1,
    Char = 2,
    Byte = 3,
    Short = 4,
    Word = 5,
    Long = 6,
    DWord = 7,
    Float = 8,
    Double = 9,
    BCD = 10,
    LBCD = 11,
    Date = 12,
};

inline constexpr int FirstCode = String;
inline constexpr int LastCode = Date;
// The tag dialog offers Boolean to Float, in code order, and stores list
// position + 1.
inline constexpr int FirstDialogCode = Boolean;
inline constexpr int LastDialogCode = Float;

bool isValid(int code);
// Empty for codes outside 0 to 12 (and for the codes the dialog does not offer).
QString dialogName(int code);
QString listName(int code);
QString plainCsvName(int code);
QString masterCsvName(int code);
// Plain CSV names are read back case-insensitively.
std::optional<int> fromPlainCsvName(QStringView name);

// Registers a value of this type occupies: 1, 2 or 4; 0 for Boolean (one bit)
// and for the types that registers cannot hold (String, Date, unknown codes).
int registerCount(int code);

} // namespace DataTypeCode

// Client access codes (ClientAccess) and their names.
namespace ClientAccessCode {

enum Code : int { ReadOnly = 0, ReadWrite = 1 };

QString dialogName(int code);    // "Read Only", "Read\Write"
QString listName(int code);      // "Read Only", "Read/Write"
QString plainCsvName(int code);  // "Read_Only", "Read/Write"
QString masterCsvName(int code); // "RO", "R/W"
std::optional<int> fromPlainCsvName(QStringView name);

} // namespace ClientAccessCode
