// Checks arbitrary bytes as the reply to one of a fixed set of requests (the
// first byte picks it). Whatever arrives, the checker must not read past the
// reply; a read it accepts must decode without fault under every data type and
// order, and the register types whose values fill their registers must encode
// back to the very registers they were read from.
#include "datatypes.h"
#include "modbuscodec.h"
#include "valuecodec.h"

#include <array>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {

QByteArray request(quint8 pick)
{
    static const std::array<bool, 3> coils{true, false, true};
    static const std::array<quint16, 4> values{0x1234, 0x5678, 0x9ABC, 0xDEF0};
    switch (pick % 8) {
    case 0:
        return ModbusTcp::buildReadHoldingRegisters(1, 1, 0, 4);
    case 1:
        return ModbusTcp::buildReadInputRegisters(2, 1, 10, 125);
    case 2:
        return ModbusTcp::buildReadCoils(3, 1, 0, 19);
    case 3:
        return ModbusTcp::buildWriteSingleRegister(4, 1, 5, 0x1234);
    case 4:
        return ModbusTcp::buildWriteMultipleRegisters(5, 1, 5, values);
    case 5:
        return ModbusTcp::buildWriteMultipleCoils(6, 1, 7, coils);
    case 6:
        return ModbusTcp::buildMaskWriteRegister(7, 1, 4, 0xFFF7, 0x0008);
    default:
        return ModbusTcp::buildWriteSingleCoil(8, 1, 9, true);
    }
}

// Types whose decoded value holds every bit of their registers.
bool roundTrips(int dataType, const CModData &value)
{
    switch (dataType) {
    case DataTypeCode::Short:
    case DataTypeCode::Word:
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::BCD:
    case DataTypeCode::LBCD:
        return true;
    case DataTypeCode::Double:
        return !std::isnan(value.asDouble());
    default:
        return false;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray sent = request(data[0]);
    const QByteArray reply(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    const ModbusTcp::ReplyCheck check = ModbusTcp::checkReply(sent, reply);
    if (!check.isOk() || !ModbusTcp::isRegisterRead(ModbusTcp::FunctionCode(sent[7])))
        return 0;

    const QList<quint16> read = ModbusTcp::unpackRegisters(check.data);
    const std::vector<quint16> registers(read.begin(), read.end());
    for (int dataType = DataTypeCode::Boolean; dataType <= DataTypeCode::Date; ++dataType) {
        for (int layout = 0; layout < 8; ++layout) {
            const ValueCodec::WordOrder order{(layout & 1) != 0, (layout & 2) != 0,
                                              (layout & 4) != 0};
            const ValueCodec::DecodeResult decoded = ValueCodec::decodeRegisters(
                dataType, registers, layout * 2, order, ValueCodec::BitOrder{});
            if (!decoded.ok() || !roundTrips(dataType, *decoded.value))
                continue;
            const ValueCodec::EncodeResult encoded = ValueCodec::encodeWrite(
                *decoded.value, dataType, ValueCodec::WriteTarget::HoldingRegister, order);
            if (!encoded.ok())
                std::abort();
            const QList<quint16> &written = encoded.request->registers;
            for (qsizetype i = 0; i < written.size(); ++i) {
                if (written[i] != registers[size_t(i)])
                    std::abort();
            }
        }
    }
    return 0;
}
