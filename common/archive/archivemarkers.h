#pragma once

#include <QtGlobal>

// The marker values of the encoding, shared by the writer and the reader.
namespace ArchiveMarker {

// Object tags of the index table: a new class, a class reference (ORed with the
// class index), and the escape to a 32-bit index once indexes reach 0x7FFF.
inline constexpr quint16 NewClassTag = 0xFFFF;
inline constexpr quint16 ClassTag = 0x8000;
inline constexpr quint16 BigObjectTag = 0x7FFF;
inline constexpr quint32 BigClassTag = 0x80000000;

// Wide strings start with an escape byte and the UTF-16 marker.
inline constexpr quint8 LengthEscape = 0xFF;
inline constexpr quint16 WideMarker = 0xFFFE;

// Marks the 64-bit form of a time; older writers wrote 32 bits alone.
inline constexpr quint32 LongTimeMarker = 0x8000000A;

} // namespace ArchiveMarker
