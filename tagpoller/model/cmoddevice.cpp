#include "cmoddevice.h"

CModTag *CModDevice::findTagByPath(QStringView path, qint32 requestId)
{
    return TagTree::findByPath(tags, groups, path, requestId);
}

CModTag *CModDevice::findTagByRequestId(qint32 requestId)
{
    return TagTree::findByRequestId(tags, groups, requestId);
}

void CModDevice::serialize(Archive &ar)
{
    CModObject::serialize(ar);
    quint16 version = 0;
    ar.uint16(version);
    ar.int32(DeviceId);
    ar.int32(TimingReserved);
    ar.int32(RequestTimeout);
    ar.uint8(FailAfter);
    ar.int32(InterRequestDelay);
    ar.bool32(AutoDemote);
    ar.uint8(DemoteAfter);
    ar.int32(DemoteFor);
    ar.bool32(DiscardWritesWhileDemoted);
    ar.bool32(ZeroBasedAddr);
    ar.bool32(ZeroBasedBitAddr);
    ar.bool32(HoldingBitMaskWrites);
    ar.bool32(UseFunc06);
    ar.bool32(UseFunc05);
    ar.bool32(DefaultByteOrder);
    ar.bool32(FirstWordLow);
    ar.bool32(FirstDwordLow);
    ar.bool32(ModiconBitOrder);
    ar.int32(OutputCoilBlock);
    ar.int32(InputCoilBlock);
    ar.int32(InternalRegBlock);
    ar.int32(HoldingRegBlock);
    ar.bool32(BlockReadStrings);
    ar.bool32(TcpFraming);
    ar.int32(LeadingBytes);
    tags.serialize(ar);
    ar.objectArray(groups);
}

CModRTUDev::CModRTUDev()
{
    name = QStringLiteral("RTU_Device_1");
}

void CModRTUDev::serialize(Archive &ar)
{
    CModDevice::serialize(ar);
    quint16 version = 0;
    ar.uint16(version);
    ar.int32(Reserved);
    ar.uint8(ReservedByte1);
    ar.uint8(ReservedByte2);
}

CModTCPDev::CModTCPDev()
{
    name = QStringLiteral("TCP_Device_1");
}

void CModTCPDev::serialize(Archive &ar)
{
    CModDevice::serialize(ar);
    quint16 version = 0;
    ar.uint16(version);
    ar.int32(DevicePort);
}
