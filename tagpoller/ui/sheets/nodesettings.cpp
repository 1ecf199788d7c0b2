#include "nodesettings.h"

#include "cmodchnl.h"

namespace NodeSettings {

std::unique_ptr<CModChnl> workingCopy(const CModChnl &channel)
{
    std::unique_ptr<CModChnl> copyOfChannel;
    if (channel.kind() == CModChnl::TcpKind)
        copyOfChannel = std::make_unique<CModTCPChnl>();
    else
        copyOfChannel = std::make_unique<CModRTUChnl>();
    copy(channel, *copyOfChannel);
    return copyOfChannel;
}

std::unique_ptr<CModDevice> workingCopy(const CModDevice &device)
{
    std::unique_ptr<CModDevice> copyOfDevice;
    if (dynamic_cast<const CModTCPDev *>(&device))
        copyOfDevice = std::make_unique<CModTCPDev>();
    else
        copyOfDevice = std::make_unique<CModRTUDev>();
    copy(device, *copyOfDevice);
    return copyOfDevice;
}

void copy(const CModChnl &from, CModChnl &to)
{
    Q_ASSERT(from.kind() == to.kind());
    to.name = from.name;
    to.ConnectTimeout = from.ConnectTimeout;
    to.ReconnectAfter = from.ReconnectAfter;
    to.MaxReconnectAttempts = from.MaxReconnectAttempts;
    to.WriteOptimization = from.WriteOptimization;
    to.DutyCycle = from.DutyCycle;
    if (from.kind() == CModChnl::TcpKind) {
        const auto &tcpFrom = static_cast<const CModTCPChnl &>(from);
        auto &tcpTo = static_cast<CModTCPChnl &>(to);
        tcpTo.NetworkAdapter = tcpFrom.NetworkAdapter;
        tcpTo.SharedSocket = tcpFrom.SharedSocket;
        tcpTo.MaxSocketsPerDevice = tcpFrom.MaxSocketsPerDevice;
        tcpTo.PortNumber = tcpFrom.PortNumber;
        tcpTo.IpAddress = tcpFrom.IpAddress;
    } else {
        static_cast<CModRTUChnl &>(to).comProps = static_cast<const CModRTUChnl &>(from).comProps;
    }
}

void copy(const CModDevice &from, CModDevice &to)
{
    to.name = from.name;
    to.DeviceId = from.DeviceId;
    to.TimingReserved = from.TimingReserved;
    to.RequestTimeout = from.RequestTimeout;
    to.FailAfter = from.FailAfter;
    to.InterRequestDelay = from.InterRequestDelay;
    to.AutoDemote = from.AutoDemote;
    to.DemoteAfter = from.DemoteAfter;
    to.DemoteFor = from.DemoteFor;
    to.DiscardWritesWhileDemoted = from.DiscardWritesWhileDemoted;
    to.ZeroBasedAddr = from.ZeroBasedAddr;
    to.ZeroBasedBitAddr = from.ZeroBasedBitAddr;
    to.HoldingBitMaskWrites = from.HoldingBitMaskWrites;
    to.UseFunc06 = from.UseFunc06;
    to.UseFunc05 = from.UseFunc05;
    to.DefaultByteOrder = from.DefaultByteOrder;
    to.FirstWordLow = from.FirstWordLow;
    to.FirstDwordLow = from.FirstDwordLow;
    to.ModiconBitOrder = from.ModiconBitOrder;
    to.OutputCoilBlock = from.OutputCoilBlock;
    to.InputCoilBlock = from.InputCoilBlock;
    to.InternalRegBlock = from.InternalRegBlock;
    to.HoldingRegBlock = from.HoldingRegBlock;
    to.BlockReadStrings = from.BlockReadStrings;
    to.TcpFraming = from.TcpFraming;
    to.LeadingBytes = from.LeadingBytes;
    const auto *tcpFrom = dynamic_cast<const CModTCPDev *>(&from);
    auto *tcpTo = dynamic_cast<CModTCPDev *>(&to);
    Q_ASSERT(!tcpFrom == !tcpTo);
    if (tcpFrom && tcpTo)
        tcpTo->DevicePort = tcpFrom->DevicePort;
}

} // namespace NodeSettings
