#include "readplan.h"

#include "cmoddevice.h"
#include "datatypes.h"
#include "devicetags.h"

#include <algorithm>
#include <array>

namespace AddressSpaces {

namespace {

struct SpaceInfo
{
    FrameSpace space;
    qint32 base;
    ModbusTcp::FunctionCode function;
    const char16_t *fileName;
};

// Indexed by FrameSpace.
constexpr std::array<SpaceInfo, Count> Spaces = {{
    {FrameSpace::InputStatus, 100000, ModbusTcp::FunctionCode::ReadDiscreteInputs, u"Input Status"},
    {FrameSpace::Coils, 0, ModbusTcp::FunctionCode::ReadCoils, u"Coils"},
    {FrameSpace::InputRegisters, 300000, ModbusTcp::FunctionCode::ReadInputRegisters,
     u"Input Register"},
    {FrameSpace::HoldingRegisters, 400000, ModbusTcp::FunctionCode::ReadHoldingRegisters,
     u"Hld Register"},
}};

const SpaceInfo &info(FrameSpace space)
{
    return Spaces[size_t(space)];
}

} // namespace

std::optional<FrameSpace> spaceOf(qint32 effectiveAddress)
{
    for (const SpaceInfo &space : Spaces) {
        if (effectiveAddress >= space.base && effectiveAddress < space.base + SpaceSize)
            return space.space;
    }
    return std::nullopt;
}

qint32 base(FrameSpace space)
{
    return info(space).base;
}

ModbusTcp::FunctionCode readFunction(FrameSpace space)
{
    return info(space).function;
}

QString fileName(FrameSpace space)
{
    return QString::fromUtf16(info(space).fileName);
}

} // namespace AddressSpaces

ReadPlanSettings ReadPlanSettings::fromDevice(const CModDevice &device)
{
    ReadPlanSettings settings;
    settings.unitId = quint8(device.DeviceId);
    settings.zeroBasedAddr = device.ZeroBasedAddr;
    settings.outputCoilBlock = device.OutputCoilBlock;
    settings.inputCoilBlock = device.InputCoilBlock;
    settings.internalRegBlock = device.InternalRegBlock;
    settings.holdingRegBlock = device.HoldingRegBlock;
    return settings;
}

int ReadPlanSettings::blockSize(FrameSpace space) const
{
    // The settings pages keep the blocks within these limits; a project file
    // can still carry anything, and a frame beyond the protocol's read limit
    // could never be sent.
    switch (space) {
    case FrameSpace::InputStatus:
        return std::clamp(inputCoilBlock, 1, ModbusTcp::MaxReadBits);
    case FrameSpace::Coils:
        return std::clamp(outputCoilBlock, 1, ModbusTcp::MaxReadBits);
    case FrameSpace::InputRegisters:
        return std::clamp(internalRegBlock, 1, ModbusTcp::MaxReadRegisters);
    case FrameSpace::HoldingRegisters:
        return std::clamp(holdingRegBlock, 1, ModbusTcp::MaxReadRegisters);
    }
    return 1;
}

int plannedWidth(int dataType)
{
    switch (dataType) {
    case DataTypeCode::Long:
    case DataTypeCode::DWord:
    case DataTypeCode::Float:
    case DataTypeCode::LBCD:
        return 2;
    case DataTypeCode::Double:
        return 4;
    default:
        return 1;
    }
}

qint32 effectiveAddressOf(const CModTag &tag, bool zeroBasedAddr)
{
    return zeroBasedAddr ? tag.AddressNumber - 1 : tag.AddressNumber;
}

ReadPlanner::ReadPlanner(const ReadPlanSettings &settings) : m_settings(settings) {}

void ReadPlanner::addTag(CModTag &tag)
{
    m_entries.push_back(
        {effectiveAddressOf(tag, m_settings.zeroBasedAddr), plannedWidth(tag.DataType), &tag});
}

std::vector<AddressRecord> ReadPlanner::addressTags() const
{
    // A stable sort keeps the tags of one address in the order they were added,
    // as a search-and-append per tag would, without its quadratic cost.
    std::vector<Entry> sorted = m_entries;
    std::stable_sort(sorted.begin(), sorted.end(),
                     [](const Entry &a, const Entry &b) { return a.address < b.address; });

    std::vector<AddressRecord> records;
    for (const Entry &entry : sorted) {
        if (records.empty() || records.back().address != entry.address) {
            AddressRecord record;
            record.address = entry.address;
            record.width = entry.width;
            records.push_back(std::move(record));
        }
        AddressRecord &record = records.back();
        record.width = std::max(record.width, entry.width);
        record.tags.push_back(entry.tag);
    }
    return records;
}

ReadPlan ReadPlanner::plan() const
{
    ReadPlan plan;
    plan.addressTags = addressTags();

    std::array<std::optional<PlannedFrame>, AddressSpaces::Count> open;
    std::array<std::vector<PlannedFrame>, AddressSpaces::Count> closed;
    const auto close = [&](FrameSpace space) {
        std::optional<PlannedFrame> &frame = open[size_t(space)];
        if (frame)
            closed[size_t(space)].push_back(std::move(*frame));
        frame.reset();
    };

    for (int index = 0; index < int(plan.addressTags.size()); ++index) {
        const AddressRecord &record = plan.addressTags[size_t(index)];
        const std::optional<FrameSpace> space = AddressSpaces::spaceOf(record.address);
        if (!space)
            continue;
        const qint32 last = record.address + record.width - 1;
        const qint32 spaceEnd = AddressSpaces::base(*space) + AddressSpaces::SpaceSize - 1;
        if (last > spaceEnd) {
            plan.beyondSpace.push_back(index);
            continue;
        }
        std::optional<PlannedFrame> &frame = open[size_t(*space)];
        if (frame && record.address >= frame->start && last <= frame->end) {
            frame->records.push_back(index);
            continue;
        }
        close(*space);
        PlannedFrame next;
        next.space = *space;
        next.unitId = m_settings.unitId;
        next.start = record.address;
        // A frame never reaches past its space: the request would ask for
        // addresses the protocol cannot name.
        next.end = std::min(record.address + m_settings.blockSize(*space) - 1, spaceEnd);
        // A record wider than the block fits no frame and is never read; the
        // frame opened at its address stays open for the records after it.
        if (last <= next.end)
            next.records.push_back(index);
        frame = std::move(next);
    }
    for (int space = 0; space < AddressSpaces::Count; ++space)
        close(FrameSpace(space));

    for (auto &frames : closed) {
        for (PlannedFrame &frame : frames) {
            qint32 lastUsed = frame.start;
            for (int index : frame.records) {
                AddressRecord &record = plan.addressTags[size_t(index)];
                record.indexInFrame = record.address - frame.start;
                lastUsed = std::max(lastUsed, record.address + record.width - 1);
            }
            frame.count = lastUsed - frame.start + 1;
        }
    }

    for (FrameSpace space : {FrameSpace::InputStatus, FrameSpace::Coils,
                             FrameSpace::HoldingRegisters, FrameSpace::InputRegisters}) {
        for (PlannedFrame &frame : closed[size_t(space)]) {
            frame.frameIndex = int(plan.frames.size());
            plan.frames.push_back(std::move(frame));
        }
    }
    return plan;
}

ReadPlan planDevice(const CModDevice &device)
{
    ReadPlanner planner(ReadPlanSettings::fromDevice(device));
    forEachDeviceTag(device, [&](CModTag &tag) { planner.addTag(tag); });
    return planner.plan();
}

void resetTagsForRun(CModDevice &device)
{
    forEachDeviceTag(device, [](CModTag &tag) {
        tag.flags &=
            ~quint32(CModTag::ErrorState | CModTag::ValuePresent | CModTag::InvalidValueReported);
        tag.flags |= CModTag::Redraw;
        tag.lastGoodRead = 0;
    });
}
