#pragma once

#include "cmodtaggroup.h"

// A Modbus device (unit) of a channel: how to address and poll it, its own tags
// and its tag groups. Which settings act at run time is the runtime's business;
// all of them are stored and carried along.
class CModDevice : public CModObject
{
public:
    qint32 DeviceId = 1; // unit identifier, 0 to 255
    qint32 TimingReserved = 3;
    qint32 RequestTimeout = 1000; // ms
    quint8 FailAfter = 3;
    qint32 InterRequestDelay = 1; // ms
    bool AutoDemote = false;
    quint8 DemoteAfter = 3;   // 1 to 30 successive failures
    qint32 DemoteFor = 10000; // ms, 100 to 3600000
    bool DiscardWritesWhileDemoted = false;
    bool ZeroBasedAddr = true;
    bool ZeroBasedBitAddr = true;
    bool HoldingBitMaskWrites = false;
    bool UseFunc06 = true;
    bool UseFunc05 = true;
    bool DefaultByteOrder = true;
    bool FirstWordLow = true;
    bool FirstDwordLow = true;
    bool ModiconBitOrder = false;
    qint32 OutputCoilBlock = 32;  // 8 to 2000, multiple of 8
    qint32 InputCoilBlock = 32;   // 8 to 2000, multiple of 8
    qint32 InternalRegBlock = 32; // 1 to 125
    qint32 HoldingRegBlock = 32;  // 1 to 125
    bool BlockReadStrings = false;
    bool TcpFraming = true;
    qint32 LeadingBytes = 0;

    TagList tags;
    TagGroups groups;

    bool isDevice() const override { return true; }
    TagList *tagList() override { return &tags; }
    qsizetype tagCount() const override { return tags.size(); }
    bool removeTag(const CModTag *tag) override { return tags.take(tag) != nullptr; }
    CModTag *findTagByPath(QStringView path, qint32 requestId) override;
    CModTag *findTagByRequestId(qint32 requestId) override;

    void serialize(Archive &ar) override;
};

// A device on a serial (RTU) channel.
class CModRTUDev : public CModDevice
{
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModRTUDev)
public:
    CModRTUDev();
    void serialize(Archive &ar) override;

    // Stored and carried along; no setting of this version uses them.
    qint32 Reserved = 0;
    quint8 ReservedByte1 = 0;
    quint8 ReservedByte2 = 0;
};

// A device on a Modbus TCP channel.
class CModTCPDev : public CModDevice
{
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModTCPDev)
public:
    CModTCPDev();
    qint32 DevicePort = 502; // stored only
    void serialize(Archive &ar) override;
};
