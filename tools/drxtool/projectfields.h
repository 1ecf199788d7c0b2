#pragma once

#include "cmodchnl.h"
#include "cmodtag.h"
#include "datatypes.h"
#include "objectnames.h"

#include <QLatin1StringView>
#include <QString>
#include <QStringList>

#include <limits>
#include <type_traits>

// The settings of every node kind as the JSON form of a project names them,
// with the values each may take. Writing, reading and the key order of the
// printed form all walk these lists, so a setting is named in one place only.
//
// A walk calls its Fields object once per setting, in the order the printed
// form lists them:
//   name(key, field, NameRule)          the node's name
//   integer(key, field, IntRange)       qint32 or quint8
//   flag(key, field)                    bool, a JSON boolean
//   text(key, field)                    free text
//   choice(key, field, QStringList)     one of a fixed list of texts
//   ipAddress(key, field)               four octets as "a.b.c.d"
// Child lists (devices, tags, groups) and a channel's "kind" are not settings;
// the reader and writer handle them.

// The values an integer setting accepts.
struct IntRange
{
    qint64 minimum;
    qint64 maximum;
    qint64 step = 1; // accepted values are multiples of it
};

// For settings that no page edits: anything the stored field can hold.
template<typename Int> constexpr IntRange widthOf(const Int &)
{
    return {std::numeric_limits<Int>::min(), std::numeric_limits<Int>::max()};
}

// How a kind of name is checked, with the message for each broken rule. The
// rules are tested in the order of the members; uniqueness among siblings last.
struct NameRule
{
    enum class Characters { AnyButBlanks, LettersDigitsUnderscore };

    ObjectNames::Kind kind;
    Characters characters;
    int maxLength;
    QString empty;
    QString badCharacter;
    QString tooLong;
    QString exists;
};

namespace NameRules {

const NameRule &channel(CModChnl::Kind kind);
const NameRule &device();
const NameRule &group();
const NameRule &tag();

// The message of the first rule that `name` breaks, leaving uniqueness aside;
// empty if it keeps them all.
QString check(const QString &name, const NameRule &rule);

} // namespace NameRules

namespace ProjectFields {

// The texts the hidden adapter list of a TCP channel offers; the text is stored.
const QStringList &networkAdapters();

template<typename Channel, typename Fields> void channel(Channel &c, Fields &fields)
{
    static_assert(std::is_base_of_v<CModChnl, std::remove_const_t<Channel>>);
    using namespace Qt::StringLiterals;
    fields.name("ChannelName"_L1, c.name, NameRules::channel(c.kind()));
    fields.integer("ConnectTimeout"_L1, c.ConnectTimeout, {1, 1000});
    fields.integer("ReconnectAfter"_L1, c.ReconnectAfter, {5, 7200});
    fields.integer("MaxReconnectAttempts"_L1, c.MaxReconnectAttempts, {0, 100});
    fields.integer("WriteOptimization"_L1, c.WriteOptimization, {0, 2});
    fields.integer("DutyCycle"_L1, c.DutyCycle, {1, 10});
}

template<typename TcpChannel, typename Fields> void tcpChannel(TcpChannel &c, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<TcpChannel>, CModTCPChnl>);
    using namespace Qt::StringLiterals;
    fields.choice("NetworkAdapter"_L1, c.NetworkAdapter, networkAdapters());
    fields.integer("SharedSocket"_L1, c.SharedSocket, {0, 1});
    fields.integer("MaxSocketsPerDevice"_L1, c.MaxSocketsPerDevice, {1, 10});
    fields.integer("PortNumber"_L1, c.PortNumber, {100, 65535});
    fields.ipAddress("IpAddress"_L1, c.IpAddress);
}

// The serial settings are positions in the lists that the RTU channel's page
// offers; a position past the end of its list would select nothing there.
template<typename ComProps, typename Fields> void comProps(ComProps &p, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<ComProps>, SerialSettings>);
    using namespace Qt::StringLiterals;
    fields.integer("ComPort"_L1, p.ComPort, {0, 255});       // "None", "COM 1" to "COM 255"
    fields.integer("BaudRate"_L1, p.BaudRate, {0, 14});      // 300 to 256000
    fields.integer("DataBits"_L1, p.DataBits, {0, 3});       // 5 to 8
    fields.integer("Parity"_L1, p.Parity, {0, 2});           // none, odd, even
    fields.integer("StopBits"_L1, p.StopBits, {0, 1});       // one, two
    fields.integer("FlowControl"_L1, p.FlowControl, {0, 5}); // "None" to "RTS Manual"
    fields.flag("EthernetEncapsulation"_L1, p.EthernetEncapsulation);
    fields.flag("ReportCommErrors"_L1, p.ReportCommErrors);
}

template<typename Device, typename Fields> void device(Device &d, Fields &fields)
{
    static_assert(std::is_base_of_v<CModDevice, std::remove_const_t<Device>>);
    using namespace Qt::StringLiterals;
    fields.name("DeviceName"_L1, d.name, NameRules::device());
    fields.integer("DeviceId"_L1, d.DeviceId, {0, 255});
    fields.integer("TimingReserved"_L1, d.TimingReserved, widthOf(d.TimingReserved));
    fields.integer("RequestTimeout"_L1, d.RequestTimeout, widthOf(d.RequestTimeout));
    fields.integer("FailAfter"_L1, d.FailAfter, widthOf(d.FailAfter));
    fields.integer("InterRequestDelay"_L1, d.InterRequestDelay, widthOf(d.InterRequestDelay));
    fields.flag("AutoDemote"_L1, d.AutoDemote);
    fields.integer("DemoteAfter"_L1, d.DemoteAfter, {1, 30});
    fields.integer("DemoteFor"_L1, d.DemoteFor, {100, 3600000});
    fields.flag("DiscardWritesWhileDemoted"_L1, d.DiscardWritesWhileDemoted);
    fields.flag("ZeroBasedAddr"_L1, d.ZeroBasedAddr);
    fields.flag("ZeroBasedBitAddr"_L1, d.ZeroBasedBitAddr);
    fields.flag("HoldingBitMaskWrites"_L1, d.HoldingBitMaskWrites);
    fields.flag("UseFunc06"_L1, d.UseFunc06);
    fields.flag("UseFunc05"_L1, d.UseFunc05);
    fields.flag("DefaultByteOrder"_L1, d.DefaultByteOrder);
    fields.flag("FirstWordLow"_L1, d.FirstWordLow);
    fields.flag("FirstDwordLow"_L1, d.FirstDwordLow);
    fields.flag("ModiconBitOrder"_L1, d.ModiconBitOrder);
    fields.integer("OutputCoilBlock"_L1, d.OutputCoilBlock, {8, 2000, 8});
    fields.integer("InputCoilBlock"_L1, d.InputCoilBlock, {8, 2000, 8});
    fields.integer("InternalRegBlock"_L1, d.InternalRegBlock, {1, 125});
    fields.integer("HoldingRegBlock"_L1, d.HoldingRegBlock, {1, 125});
    fields.flag("BlockReadStrings"_L1, d.BlockReadStrings);
    fields.flag("TcpFraming"_L1, d.TcpFraming);
    fields.integer("LeadingBytes"_L1, d.LeadingBytes, widthOf(d.LeadingBytes));
}

// Stored and carried along by RTU devices; no page shows them.
template<typename RtuDevice, typename Fields> void rtuDevice(RtuDevice &d, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<RtuDevice>, CModRTUDev>);
    using namespace Qt::StringLiterals;
    fields.integer("Reserved"_L1, d.Reserved, widthOf(d.Reserved));
    fields.integer("ReservedByte1"_L1, d.ReservedByte1, widthOf(d.ReservedByte1));
    fields.integer("ReservedByte2"_L1, d.ReservedByte2, widthOf(d.ReservedByte2));
}

template<typename TcpDevice, typename Fields> void tcpDevice(TcpDevice &d, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<TcpDevice>, CModTCPDev>);
    using namespace Qt::StringLiterals;
    // The page reads it as an unsigned number and checks no range.
    fields.integer("DevicePort"_L1, d.DevicePort, {0, std::numeric_limits<qint32>::max()});
}

template<typename Group, typename Fields> void group(Group &g, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<Group>, CModTagGroup>);
    using namespace Qt::StringLiterals;
    fields.name("GroupName"_L1, g.name, NameRules::group());
}

// TagAddress is checked against DataType and ClientAccess once the whole tag is
// read; AddressNumber and BitNumber follow from it unless given.
template<typename Tag, typename Fields> void tag(Tag &t, Fields &fields)
{
    static_assert(std::is_same_v<std::remove_const_t<Tag>, CModTag>);
    using namespace Qt::StringLiterals;
    fields.name("TagName"_L1, t.TagName, NameRules::tag());
    fields.text("Description"_L1, t.Description);
    fields.text("TagAddress"_L1, t.TagAddress);
    fields.integer("AddressNumber"_L1, t.AddressNumber, widthOf(t.AddressNumber));
    fields.integer("BitNumber"_L1, t.BitNumber, widthOf(t.BitNumber));
    fields.integer("DataType"_L1, t.DataType, {DataTypeCode::FirstCode, DataTypeCode::LastCode});
    fields.integer("ClientAccess"_L1, t.ClientAccess,
                   {ClientAccessCode::ReadOnly, ClientAccessCode::ReadWrite});
    fields.integer("ScanRate"_L1, t.ScanRate, {100, 100000, 100});
}

} // namespace ProjectFields
