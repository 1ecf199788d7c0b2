#include "cmodchnl.h"

CModDevice *CModChnl::findDevice(QStringView name) const
{
    for (const auto &device : devices) {
        if (device->name == name)
            return device.get();
    }
    return nullptr;
}

CModTag *CModChnl::findTagByPath(QStringView path, qint32 requestId)
{
    const qsizetype dot = path.indexOf(u'.');
    if (dot < 0)
        return nullptr;
    CModDevice *device = findDevice(path.first(dot));
    return device ? device->findTagByPath(path.sliced(dot + 1), requestId) : nullptr;
}

CModTag *CModChnl::findTagByRequestId(qint32 requestId)
{
    for (const auto &device : devices) {
        if (CModTag *tag = device->findTagByRequestId(requestId))
            return tag;
    }
    return nullptr;
}

void CModChnl::serialize(Archive &ar)
{
    CModObject::serialize(ar);
    if (ar.isStoring())
        ar.writer().writeUInt16(1);
    else
        channelVersion = ar.reader().readUInt16();
    ar.uint8(WriteOptimization);
    ar.uint8(DutyCycle);
    ar.int32(ConnectTimeout);
    if (ar.isStoring() || channelVersion != 0) {
        ar.int32(ReconnectAfter);
        ar.int32(MaxReconnectAttempts);
    }
    ar.objectArray(devices);
}

template<class DeviceKind> void CModChnl::serializeDevicesAgain(Archive &ar)
{
    Devices again = devices;
    ar.objectArray(again);
    if (!ar.isLoading() || !ar.ok())
        return;
    // A device of the other kind would be driven by the wrong protocol.
    for (const auto &device : devices) {
        if (!dynamic_cast<DeviceKind *>(device.get())) {
            ar.reader().fail(
                ArchiveError::BadClass,
                QStringLiteral("channel %1 holds a %2, which is not its kind of device")
                    .arg(name, QLatin1StringView(device->className())));
            return;
        }
    }
}

void SerialSettings::serialize(Archive &ar)
{
    quint16 version = 0;
    ar.uint16(version);
    ar.uint8(ComPort);
    ar.int32(BaudRate);
    ar.uint8(DataBits);
    ar.uint8(Parity);
    ar.uint8(StopBits);
    ar.uint8(FlowControl);
    ar.bool32(EthernetEncapsulation);
    ar.bool32(ReportCommErrors);
}

CModRTUChnl::CModRTUChnl()
{
    name = QStringLiteral("RTU_Channel_1");
}

std::shared_ptr<CModDevice> CModRTUChnl::newDevice() const
{
    return std::make_shared<CModRTUDev>();
}

void CModRTUChnl::serialize(Archive &ar)
{
    CModChnl::serialize(ar);
    quint16 version = 0;
    ar.uint16(version);
    ar.embedded(comProps);
    serializeDevicesAgain<CModRTUDev>(ar);
}

CModTCPChnl::CModTCPChnl()
{
    name = QStringLiteral("TCP_Channel_1");
}

std::shared_ptr<CModDevice> CModTCPChnl::newDevice() const
{
    return std::make_shared<CModTCPDev>();
}

void CModTCPChnl::serialize(Archive &ar)
{
    CModChnl::serialize(ar);
    quint16 version = 0;
    ar.uint16(version);
    ar.int32(SharedSocket);
    ar.int32(MaxSocketsPerDevice);
    ar.int32(PortNumber);
    ar.string(NetworkAdapter);
    // The octets are stored last one first.
    ar.int32(IpAddress[3]);
    ar.int32(IpAddress[2]);
    ar.int32(IpAddress[1]);
    ar.int32(IpAddress[0]);
    serializeDevicesAgain<CModTCPDev>(ar);
}
