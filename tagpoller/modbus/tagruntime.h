#pragma once

#include "valuecodec.h"

#include <span>

class CModTag;
struct RuntimeServices;

// A tag's value and quality during a run. A tag hands its value to the value
// sink only when it is the first value, when it changed, or when the tag has
// just left the error state; and once when it enters the error state. Repeated
// identical replies cause no traffic.
namespace TagRuntime {

// `readTimeMs` is when the reply arrived (ms since the epoch): taken once per
// reply, since a clock read per tag would cost a frame of 125 tags more than
// its decoding.

// A coil or discrete input bit; always held as Boolean.
void updateBit(CModTag &tag, bool bit, qint64 readTimeMs, const RuntimeServices &services);

// The tag's registers from its position in a register reply onwards (its
// width's worth, fewer only if the reply was short).
void decodeRegisters(CModTag &tag, std::span<const quint16> registers,
                     ValueCodec::WordOrder wordOrder, ValueCodec::BitOrder bitOrder,
                     qint64 readTimeMs, const RuntimeServices &services);

// An exception reply to the tag's frame: the tag keeps its value, marked bad.
void enterErrorState(CModTag &tag, const RuntimeServices &services);

// A full refresh: hands over the held value of a requested tag that has one.
void resendValue(CModTag &tag, const RuntimeServices &services);

} // namespace TagRuntime
