#include "driverstrings.h"

namespace DriverString {

QString text(Id id)
{
    switch (id) {
    case ProjectOpened:
        return QStringLiteral("Project opened : %s");
    case StartingDriver:
        return QStringLiteral("Starting Modbus Driver.");
    case Yes:
        return QStringLiteral("Yes");
    case No:
        return QStringLiteral("No");
    case StartupSettings:
        return QStringLiteral("Msg Level : %d, Diagnostics : %s, Frames File : %s, Errors File : "
                              "%s, Error File Duration : %d");
    case ClosingDriver:
        return QStringLiteral("Closing Modbus driver...");
    case OpenProjectRequestFromParent:
        return QStringLiteral("Start - Open project request from Parent...");
    case StopRequestFromParent:
        return QStringLiteral("Stop Request from Parent...");
    case ReceivedCopyData:
        return QStringLiteral("Received Copy Data from Parent...");
    case ProjectNotRunningRequestDeclined:
        return QStringLiteral(
            "Project not running, Tag data request declined, parent will not receive tag data.");
    case NotLaunchedByParentRequestDeclined:
        return QStringLiteral(
            "Not launched by parent, Tag data request declined, parent will not receive tag data.");
    case TagGroupHasNoTags:
        return QStringLiteral(" Tag group %s do not have any tags.");
    case DuplicateDeviceIdsOnChannel:
        return QStringLiteral("Duplicate Device IDs found for Channel %s.");
    case DeviceHasNoTags:
        return QStringLiteral("Device %s do not have any tags.");
    case CannotWriteReadOnlyTag:
        return QStringLiteral("Can not write to Read only tag [%s].");
    case WriteTagNotFound:
        return QStringLiteral("CModTag not found for writing.");
    case DuplicateDeviceIdsCannotRun:
        return QStringLiteral("Duplicate Device IDs found, can not run project.");
    case NoTagsDefined:
        return QStringLiteral("There are no tags defined, no point in running the project.");
    case SwitchingToRunMode:
        return QStringLiteral("Switching to Run mode.");
    case RtuChannelsFound:
        return QStringLiteral("RTU Channel /s found in project. RTU Channels will not work in this "
                              "version of Modbus driver...");
    case NoItemsRequested:
        return QStringLiteral("No items requested by server, driver will not run.");
    case RequestedItemNotFound:
        return QStringLiteral("Requested item NOT found: %s");
    case AllRequestedItemsFound:
        return QStringLiteral(
            "Requested all items [Total: %d] found, driver ready to send tag data.");
    case SomeRequestedItemsFound:
        return QStringLiteral(
            "Request items found: %d. Not found %d. driver ready to send tag data.");
    case NoRequestedItemsFound:
        return QStringLiteral("None of the requested items found, driver will not run.");
    case ProcessingTagWrite:
        return QStringLiteral("Processing tag write request for %d tags.");
    case ClientWindowNotFound:
        return QStringLiteral("Client window not found while transmitting data.");
    case SwitchingToConfigMode:
        return QStringLiteral("Switching to Config mode.");
    case SaveExistingProject:
        return QStringLiteral("Save existing project ?");
    case SaveBeforeRunning:
        return QStringLiteral("Project must be saved before attempting running it.");
    case EnterDeviceName:
        return QStringLiteral("Please enter Device name.");
    case DeviceNameHasSpace:
        return QStringLiteral("Device name can not contain space.");
    case DeviceNameTooLong:
        return QStringLiteral("Device name length more than limit of 40 Characters.");
    case DeviceNameExists:
        return QStringLiteral("Device name exists, please rename.");
    case EnterRtuChannelName:
        return QStringLiteral("Please enter Channel name.");
    case ChannelNameHasSpace:
        return QStringLiteral("Channel name can not contain space.");
    case ChannelNameTooLong:
        return QStringLiteral("Channel name length more than limit of 40 Characters.");
    case ChannelNameExists:
        return QStringLiteral("Channel name exists, please rename.");
    case EnterTcpChannelName:
        return QStringLiteral("Please enter Channel name.");
    case TooManyChannels:
        return QStringLiteral("Can't add channel, maximum channels are limited to %d.");
    case AskDeleteChannel:
        return QStringLiteral("Delete channel \"%s\" ?");
    case AskDeleteDevice:
        return QStringLiteral("Delete device \"%s\" ?");
    case AskDeleteTagGroup:
        return QStringLiteral("Delete Tag Group \"%s\" ?");
    case AskDeleteTag:
        return QStringLiteral("Delete Tag \"%s\" ?");
    case AskQuitWhileClientConnected:
        return QStringLiteral("Client Connected, Do you really want to quit ?");
    case OnlyOneInstance:
        return QStringLiteral("Only one instance of this program can run...");
    case CoilNeedsBoolean:
        return QStringLiteral("Data type must be Boolean for Coil or Input Coil address");
    case CoilAddressError:
        return QStringLiteral("Error in Coil or Input Coil address");
    case CoilAddressRange:
        return QStringLiteral("Error in Coil address, must be between 000001 to 065535");
    case InputStatusAddressRange:
        return QStringLiteral("Error in Input Status address, must be between 100001 to 165536");
    case InputStatusMustBeReadOnly:
        return QStringLiteral("Error in Input Status Client Access type, must be Read Only");
    case InputRegisterMustBeReadOnly:
        return QStringLiteral("Error in Internal Register Client Access, must be read only.");
    case InputRegisterSplitError:
        return QStringLiteral("Error in Internal Register address");
    case InputRegisterAddressRange:
        return QStringLiteral("Error in Input Register address, must be between 300001 to 365536");
    case InputRegisterBitRange:
        return QStringLiteral("Error in Internal  Register address bit, must be between 0 to 16");
    case BitAddressNeedsBoolean:
        return QStringLiteral("Data type must be Boolean for bit addressing.");
    case InputRegisterAddressError:
        return QStringLiteral("Error in Input Register address");
    case InputRegisterDataTypeInvalid:
        return QStringLiteral("Non valid data type for Input register");
    case HoldingRegisterAddressError:
        return QStringLiteral("Error in Holding Register address");
    case HoldingRegisterAddressRange:
        return QStringLiteral(
            "Error in Holding Register address, must be between 400001 to 465536");
    case HoldingRegisterBitRange:
        return QStringLiteral("Error in Holding  Register address bit, must be between 0 to 16");
    case HoldingRegisterDataTypeInvalid:
        return QStringLiteral("Non valid data type for holding register");
    case InvalidAddress:
        return QStringLiteral("Invalid Address");
    case ErrorSavingProject:
        return QStringLiteral("Error while saving the project file.");
    case EnterTagName:
        return QStringLiteral("Please enter tag name.");
    case TagNameExists:
        return QStringLiteral("Tag Name exists, please rename");
    case EnterAddress:
        return QStringLiteral("Please enter address.");
    case EnterTagGroupName:
        return QStringLiteral("Please enter tag group name.");
    case TagGroupNameHasSpace:
        return QStringLiteral("Tag group name can not contain space.");
    case TagGroupNameTooLong:
        return QStringLiteral("Tag group name length more than limit of 40 characters.");
    case GroupNameExists:
        return QStringLiteral("Group name exists, please rename.");
    case NoTagsToExport:
        return QStringLiteral("No Tags to Export...");
    case FailedToOpenFile:
        return QStringLiteral("Failed to open file...");
    case CsvImportErrors:
        return QStringLiteral(
            "Error/s encountered while importing tags, please refer to file [%s].");
    case CsvImportFailed:
        return QStringLiteral(
            "Error in opening file [%s], or in creating file [%s], CSV Import failed.");
    }
    return QString();
}

QString format(Id id, const QStringList &args)
{
    const QString pattern = text(id);
    QString result;
    result.reserve(pattern.size() + 32);
    qsizetype next = 0;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const QChar conversion = pattern.at(i + 1);
            if (conversion == u's' || conversion == u'd' || conversion == u'u') {
                result += next < args.size() ? args.at(next) : QString();
                ++next;
                ++i;
                continue;
            }
        }
        result += c;
    }
    return result;
}

} // namespace DriverString
