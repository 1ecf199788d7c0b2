#include "testprojects.h"

#include "tagaddress.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>

namespace testprojects {

QByteArray everySettingChanged()
{
    return R"json({
    "channels": [
        {
            "kind": "tcp",
            "ChannelName": "Line_1",
            "ConnectTimeout": 1000,
            "ReconnectAfter": 5,
            "MaxReconnectAttempts": 0,
            "WriteOptimization": 2,
            "DutyCycle": 1,
            "NetworkAdapter": "Modbus Adapter",
            "SharedSocket": 1,
            "MaxSocketsPerDevice": 10,
            "PortNumber": 65535,
            "IpAddress": "192.168.1.20",
            "devices": [
                {
                    "DeviceName": "Presse_Nord",
                    "DeviceId": 255,
                    "TimingReserved": -7,
                    "RequestTimeout": 2500,
                    "FailAfter": 255,
                    "InterRequestDelay": 0,
                    "AutoDemote": true,
                    "DemoteAfter": 30,
                    "DemoteFor": 3600000,
                    "DiscardWritesWhileDemoted": true,
                    "ZeroBasedAddr": false,
                    "ZeroBasedBitAddr": false,
                    "HoldingBitMaskWrites": true,
                    "UseFunc06": false,
                    "UseFunc05": false,
                    "DefaultByteOrder": false,
                    "FirstWordLow": false,
                    "FirstDwordLow": false,
                    "ModiconBitOrder": true,
                    "OutputCoilBlock": 2000,
                    "InputCoilBlock": 8,
                    "InternalRegBlock": 125,
                    "HoldingRegBlock": 1,
                    "BlockReadStrings": true,
                    "TcpFraming": false,
                    "LeadingBytes": 6,
                    "DevicePort": 1502,
                    "tags": [
                        {
                            "TagName": "Drehzahl_Ölpumpe",
                            "Description": "Drehzahl in 1/min — Ölpumpe 😀",
                            "TagAddress": "300010",
                            "AddressNumber": 300010,
                            "BitNumber": 7,
                            "DataType": 9,
                            "ClientAccess": 0,
                            "ScanRate": 100000
                        },
                        {
                            "TagName": "Alarm",
                            "Description": "quote \" backslash \\ tab \t line\nbreak \u0001 lone \udc00 end",
                            "TagAddress": "400100.16",
                            "AddressNumber": 400100,
                            "BitNumber": 16,
                            "DataType": 1,
                            "ClientAccess": 1,
                            "ScanRate": 100
                        },
                        {
                            "TagName": "Pumpe_an",
                            "Description": "",
                            "TagAddress": "000005",
                            "AddressNumber": 5,
                            "BitNumber": 0,
                            "DataType": 1,
                            "ClientAccess": 1,
                            "ScanRate": 500
                        }
                    ],
                    "groups": [
                        {
                            "GroupName": "Halle_1",
                            "tags": [],
                            "groups": [
                                {
                                    "GroupName": "Zone_B",
                                    "tags": [],
                                    "groups": [
                                        {
                                            "GroupName": "Zelle_C",
                                            "tags": [
                                                {
                                                    "TagName": "Tiefe",
                                                    "Description": "drei Ebenen tief",
                                                    "TagAddress": "465533",
                                                    "AddressNumber": 465533,
                                                    "BitNumber": 0,
                                                    "DataType": 9,
                                                    "ClientAccess": 1,
                                                    "ScanRate": 1000
                                                }
                                            ],
                                            "groups": []
                                        }
                                    ]
                                },
                                {
                                    "GroupName": "Zone_B2",
                                    "tags": [],
                                    "groups": []
                                }
                            ]
                        }
                    ]
                },
                {
                    "DeviceName": "Presse_Sued",
                    "DeviceId": 2,
                    "TimingReserved": 3,
                    "RequestTimeout": 1000,
                    "FailAfter": 3,
                    "InterRequestDelay": 1,
                    "AutoDemote": false,
                    "DemoteAfter": 3,
                    "DemoteFor": 10000,
                    "DiscardWritesWhileDemoted": false,
                    "ZeroBasedAddr": true,
                    "ZeroBasedBitAddr": true,
                    "HoldingBitMaskWrites": false,
                    "UseFunc06": true,
                    "UseFunc05": true,
                    "DefaultByteOrder": true,
                    "FirstWordLow": true,
                    "FirstDwordLow": true,
                    "ModiconBitOrder": false,
                    "OutputCoilBlock": 32,
                    "InputCoilBlock": 32,
                    "InternalRegBlock": 32,
                    "HoldingRegBlock": 32,
                    "BlockReadStrings": false,
                    "TcpFraming": true,
                    "LeadingBytes": 0,
                    "DevicePort": 502,
                    "tags": [],
                    "groups": []
                }
            ]
        },
        {
            "kind": "rtu",
            "ChannelName": "Serial_Line",
            "ConnectTimeout": 1,
            "ReconnectAfter": 7200,
            "MaxReconnectAttempts": 100,
            "WriteOptimization": 0,
            "DutyCycle": 5,
            "ComPort": 255,
            "BaudRate": 14,
            "DataBits": 0,
            "Parity": 0,
            "StopBits": 1,
            "FlowControl": 5,
            "EthernetEncapsulation": true,
            "ReportCommErrors": false,
            "devices": [
                {
                    "DeviceName": "Waage",
                    "DeviceId": 0,
                    "TimingReserved": 2147483647,
                    "RequestTimeout": -2147483648,
                    "FailAfter": 0,
                    "InterRequestDelay": 50,
                    "AutoDemote": true,
                    "DemoteAfter": 1,
                    "DemoteFor": 100,
                    "DiscardWritesWhileDemoted": true,
                    "ZeroBasedAddr": false,
                    "ZeroBasedBitAddr": false,
                    "HoldingBitMaskWrites": true,
                    "UseFunc06": false,
                    "UseFunc05": false,
                    "DefaultByteOrder": false,
                    "FirstWordLow": false,
                    "FirstDwordLow": false,
                    "ModiconBitOrder": true,
                    "OutputCoilBlock": 8,
                    "InputCoilBlock": 2000,
                    "InternalRegBlock": 1,
                    "HoldingRegBlock": 125,
                    "BlockReadStrings": true,
                    "TcpFraming": false,
                    "LeadingBytes": -1,
                    "Reserved": -7,
                    "ReservedByte1": 1,
                    "ReservedByte2": 255,
                    "tags": [
                        {
                            "TagName": "Gewicht",
                            "Description": "Bruttogewicht (kg) – Waage",
                            "TagAddress": "100001",
                            "AddressNumber": 100001,
                            "BitNumber": 0,
                            "DataType": 1,
                            "ClientAccess": 0,
                            "ScanRate": 200
                        }
                    ],
                    "groups": []
                }
            ]
        }
    ]
}
)json";
}

namespace {

std::shared_ptr<CModTag> makeTag(const QString &name, const QString &address, int dataType,
                                 int clientAccess)
{
    auto tag = std::make_shared<CModTag>();
    tag->TagName = name;
    tag->TagAddress = address;
    tag->AddressNumber = AddressText::leadingNumber(address);
    tag->DataType = dataType;
    tag->ClientAccess = clientAccess;
    return tag;
}

std::shared_ptr<CModTagGroup> makeGroup(const QString &name)
{
    auto group = std::make_shared<CModTagGroup>();
    group->name = name;
    return group;
}

} // namespace

Channels modelProject()
{
    auto tcp = std::make_shared<CModTCPChnl>();
    tcp->name = QStringLiteral("Werk_2");
    tcp->IpAddress = {10, 0, 0, 7};
    tcp->PortNumber = 1502;
    tcp->NetworkAdapter = QStringLiteral("RealTek Adapter");

    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Steuerung");
    device->DeviceId = 17;
    device->DevicePort = 5020;
    device->ModiconBitOrder = true;
    device->OutputCoilBlock = 64;

    auto speed = makeTag(QStringLiteral("Speed"), QStringLiteral("300010"), 5, 0);
    speed->Description = QStringLiteral("Geschwindigkeit, m/s – gemessen");
    device->tags.append(speed);
    // The address had a bit part once; the driver leaves BitNumber behind.
    auto stale = makeTag(QStringLiteral("Setpoint"), QStringLiteral("400020"), 8, 1);
    stale->BitNumber = 5;
    device->tags.append(stale);

    auto level1 = makeGroup(QStringLiteral("A"));
    auto level2 = makeGroup(QStringLiteral("B"));
    auto level3 = makeGroup(QStringLiteral("C"));
    auto deep = makeTag(QStringLiteral("Deep"), QStringLiteral("400100.3"), 1, 1);
    deep->BitNumber = 3;
    deep->Description = QStringLiteral("déjà vu");
    level3->tags.append(deep);
    level2->groups.push_back(level3);
    level2->groups.push_back(makeGroup(QStringLiteral("B2")));
    level1->groups.push_back(level2);
    device->groups.push_back(level1);
    tcp->devices.push_back(device);

    auto rtu = std::make_shared<CModRTUChnl>();
    rtu->comProps.BaudRate = 12;
    rtu->comProps.ReportCommErrors = false;
    auto rtuDevice = std::make_shared<CModRTUDev>();
    rtuDevice->tags.append(makeTag(QStringLiteral("Coil"), QStringLiteral("000001"), 1, 1));
    rtu->devices.push_back(rtuDevice);

    return {tcp, rtu};
}

QString tempPath(const QString &name)
{
    return QDir(testsupport::tempRoot()).filePath(name);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace testprojects
