#pragma once

#include "cmoddevice.h"

#include <array>
#include <memory>
#include <vector>

using Devices = std::vector<std::shared_ptr<CModDevice>>;

// A channel: one connection that its devices take turns on.
class CModChnl : public CModObject
{
public:
    enum Kind { TcpKind = 1, RtuKind = 2 };

    // A file whose channel record version is 0 predates ReconnectAfter and
    // MaxReconnectAttempts.
    quint16 channelVersion = 1;
    qint32 ConnectTimeout = 3;       // s, 1 to 1000
    qint32 ReconnectAfter = 600;     // s, 5 to 7200
    qint32 MaxReconnectAttempts = 5; // 0 to 100; 0 keeps trying
    quint8 WriteOptimization = 1;    // 0 all values, 1 latest non-boolean, 2 latest of all
    quint8 DutyCycle = 10;           // writes per read, 1 to 10

    Devices devices;

    virtual Kind kind() const = 0;
    // A device of this channel's kind, with its defaults.
    virtual std::shared_ptr<CModDevice> newDevice() const = 0;
    CModDevice *findDevice(QStringView name) const;

    bool isChannel() const override { return true; }
    CModTag *findTagByPath(QStringView path, qint32 requestId) override;
    CModTag *findTagByRequestId(qint32 requestId) override;

    void serialize(Archive &ar) override;

protected:
    // Every channel writes its device list a second time at the end of its
    // record; being written already, the devices appear there as
    // back-references. Readers take the first list.
    template<class DeviceKind> void serializeDevicesAgain(Archive &ar);
};

// Serial settings of an RTU channel, stored as positions in the lists its page
// shows, not as the values themselves.
class SerialSettings : public Record
{
    ORVALA_RECORD(SerialSettings)
public:
    quint8 ComPort = 1;     // "None", then "COM 1" to "COM 255"
    qint32 BaudRate = 5;    // 300 ... 256000; 5 = 9600
    quint8 DataBits = 3;    // 5, 6, 7, 8
    quint8 Parity = 2;      // "None", "Odd", "Even"
    quint8 StopBits = 0;    // 0 one, 1 two
    quint8 FlowControl = 0; // "None", "DTR", "RTS", "RTS,DTR", "RTS Always", "RTS Manual"
    bool EthernetEncapsulation = false;
    bool ReportCommErrors = true;

    void serialize(Archive &ar) override;
};

// A serial channel: configured and stored, but it does not communicate.
class CModRTUChnl : public CModChnl
{
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModRTUChnl)
public:
    CModRTUChnl();
    SerialSettings comProps;

    Kind kind() const override { return RtuKind; }
    std::shared_ptr<CModDevice> newDevice() const override;
    void serialize(Archive &ar) override;
};

// A Modbus TCP channel.
class CModTCPChnl : public CModChnl
{
    // The class name is written into project files: part of the stored format.
    ORVALA_RECORD(CModTCPChnl)
public:
    CModTCPChnl();
    QString NetworkAdapter = QStringLiteral("Default"); // stored only
    qint32 SharedSocket = 0;                            // stored only
    qint32 MaxSocketsPerDevice = 1;                     // stored only
    qint32 PortNumber = 502;                            // 100 to 65535
    std::array<qint32, 4> IpAddress = {127, 0, 0, 10};  // first octet first

    Kind kind() const override { return TcpKind; }
    std::shared_ptr<CModDevice> newDevice() const override;
    void serialize(Archive &ar) override;
};
