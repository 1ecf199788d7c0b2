#pragma once

#include "modbuscodec.h"

#include <QString>

#include <optional>
#include <vector>

class CModDevice;
class CModTag;

// Read planning: a device's tags become a fixed list of read frames, each one
// Modbus read of a contiguous range of one address space, no longer than the
// device's block size for that space. The plan is a plain value, computed from
// the tags and the device's settings only, so it is tested and timed without a
// runtime.

// The frame's space, numbered as the driver has always numbered it.
enum class FrameSpace : quint8 {
    InputStatus = 0,
    Coils = 1,
    InputRegisters = 2,
    HoldingRegisters = 3,
};

namespace AddressSpaces {

inline constexpr int Count = 4;
// Effective addresses carry their table in the leading digit: coils 0 to
// 65535, input status 100000 to 165535, input registers 300000 to 365535,
// holding registers 400000 to 465535.
inline constexpr qint32 SpaceSize = 65536;

// The space an effective address lies in; none for addresses outside the four.
std::optional<FrameSpace> spaceOf(qint32 effectiveAddress);
qint32 base(FrameSpace space);
ModbusTcp::FunctionCode readFunction(FrameSpace space);
// "Coils", "Input Status", "Input Register", "Hld Register".
QString fileName(FrameSpace space);

} // namespace AddressSpaces

// The settings of a device that planning reads.
struct ReadPlanSettings
{
    quint8 unitId = 1;
    bool zeroBasedAddr = true;
    int outputCoilBlock = 32;
    int inputCoilBlock = 32;
    int internalRegBlock = 32;
    int holdingRegBlock = 32;

    static ReadPlanSettings fromDevice(const CModDevice &device);
    // The block size of the space, held to 1 and the protocol's read limit.
    int blockSize(FrameSpace space) const;
};

// The bits or registers a tag of this data type spans in a frame: Long, DWord,
// Float and LBCD 2, Double 4, every other type 1 (a Boolean on a register bit,
// BCD, and the types that are planned but not decoded, String and Date).
int plannedWidth(int dataType);

// The tag's numeric address, one less with ZeroBasedAddr: with it 400001 reads
// holding register 0.
qint32 effectiveAddressOf(const CModTag &tag, bool zeroBasedAddr);

// The tags at one effective address.
struct AddressRecord
{
    qint32 address = 0;          // effective address, space base included
    int width = 1;               // the widest tag's width
    int indexInFrame = -1;       // address - frame start; -1 when in no frame
    std::vector<CModTag *> tags; // in the order they were added
};

// One planned read request.
struct PlannedFrame
{
    FrameSpace space = FrameSpace::HoldingRegisters;
    quint8 unitId = 1;
    qint32 start = 0; // effective addresses
    qint32 end = 0;   // start + block size - 1, not shortened to the last tag
                      // (only to the end of the space)
    qint32 count = 0; // quantity read: last address used - start + 1
    int frameIndex = 0;
    std::vector<int> records; // indexes into ReadPlan::addressTags, ascending

    quint16 protocolStart() const { return quint16(start - AddressSpaces::base(space)); }
    ModbusTcp::FunctionCode readFunction() const { return AddressSpaces::readFunction(space); }
};

// A device's plan. The tag pointers are the device's own tags; the plan is
// valid while the device keeps them.
struct ReadPlan
{
    std::vector<AddressRecord> addressTags; // ascending address
    // Input status frames, coil frames, holding register frames, then input
    // register frames, each in ascending start order.
    std::vector<PlannedFrame> frames;
    // Records whose registers or bits would run past the end of their space
    // (a Float at 465536): no request can read them, so they are in no frame.
    std::vector<int> beyondSpace;
};

// Collects tags one at a time and plans them. Tags at one address share a
// record, in the order they were added. Adding costs O(1); plan() sorts once
// and sweeps, so a device with 100000 tags plans in milliseconds.
class ReadPlanner
{
public:
    explicit ReadPlanner(const ReadPlanSettings &settings);

    void addTag(CModTag &tag);
    ReadPlan plan() const;

private:
    struct Entry
    {
        qint32 address;
        int width;
        CModTag *tag;
    };

    std::vector<AddressRecord> addressTags() const;

    ReadPlanSettings m_settings;
    std::vector<Entry> m_entries;
};

// The plan of a device's tags: its own tags, then each group's own tags and
// its subgroups, depth first, in project order.
ReadPlan planDevice(const CModDevice &device);

// The run-start reset of planning: every tag leaves the error state, has no
// value yet and is drawn again.
void resetTagsForRun(CModDevice &device);
