#pragma once

#include <QString>
#include <QStringList>

// The driver's numbered texts. The numbers stay as they were on Windows: users
// and support staff quote messages by them, and the tests check them.
namespace DriverString {

enum Id : int {
    ProjectOpened = 58000,
    StartingDriver = 58001,
    Yes = 58002,
    No = 58003,
    StartupSettings = 58004,
    ClosingDriver = 58007,
    OpenProjectRequestFromParent = 58008,
    StopRequestFromParent = 58009,
    ReceivedCopyData = 58010,
    ProjectNotRunningRequestDeclined = 58015,
    NotLaunchedByParentRequestDeclined = 58016,
    TagGroupHasNoTags = 58020,
    DuplicateDeviceIdsOnChannel = 58021,
    DeviceHasNoTags = 58028,
    CannotWriteReadOnlyTag = 58032,
    WriteTagNotFound = 58033,
    DuplicateDeviceIdsCannotRun = 58039,
    NoTagsDefined = 58040,
    SwitchingToRunMode = 58041,
    RtuChannelsFound = 58042,
    NoItemsRequested = 58043,
    RequestedItemNotFound = 58044,
    AllRequestedItemsFound = 58045,
    SomeRequestedItemsFound = 58046,
    NoRequestedItemsFound = 58047,
    ProcessingTagWrite = 58050,
    ClientWindowNotFound = 58052,
    SwitchingToConfigMode = 58053,
    SaveExistingProject = 58057,
    SaveBeforeRunning = 58058,
    EnterDeviceName = 58059,
    DeviceNameHasSpace = 58060,
    DeviceNameTooLong = 58061,
    DeviceNameExists = 58062,
    EnterRtuChannelName = 58063,
    ChannelNameHasSpace = 58064,
    ChannelNameTooLong = 58065,
    ChannelNameExists = 58066,
    EnterTcpChannelName = 58067,
    TooManyChannels = 58068,
    AskDeleteChannel = 58069,
    AskDeleteDevice = 58070,
    AskDeleteTagGroup = 58071,
    AskDeleteTag = 58072,
    AskQuitWhileClientConnected = 58073,
    OnlyOneInstance = 58074,
    CoilNeedsBoolean = 58075,
    CoilAddressError = 58076,
    CoilAddressRange = 58077,
    InputStatusAddressRange = 58078,
    InputStatusMustBeReadOnly = 58079,
    InputRegisterMustBeReadOnly = 58080,
    InputRegisterSplitError = 58081,
    InputRegisterAddressRange = 58082,
    InputRegisterBitRange = 58083,
    BitAddressNeedsBoolean = 58084,
    InputRegisterAddressError = 58085,
    InputRegisterDataTypeInvalid = 58086,
    HoldingRegisterAddressError = 58087,
    HoldingRegisterAddressRange = 58088,
    HoldingRegisterBitRange = 58089,
    HoldingRegisterDataTypeInvalid = 58090,
    InvalidAddress = 58091,
    ErrorSavingProject = 58093,
    EnterTagName = 58094,
    TagNameExists = 58095,
    EnterAddress = 58096,
    EnterTagGroupName = 58097,
    TagGroupNameHasSpace = 58098,
    TagGroupNameTooLong = 58099,
    GroupNameExists = 58100,
    NoTagsToExport = 58101,
    FailedToOpenFile = 58102,
    CsvImportErrors = 58103,
    CsvImportFailed = 58104,
};

// The text of `id`, with its printf-style placeholders (%s, %d) as they are.
QString text(Id id);

// The text of `id` with its placeholders (%s, %d, %u) filled from `args` in
// order, as the printf of the Windows program filled them.
QString format(Id id, const QStringList &args);

} // namespace DriverString
