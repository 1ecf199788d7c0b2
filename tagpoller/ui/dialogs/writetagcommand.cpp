#include "writetagcommand.h"

#include "datatypes.h"
#include "modbusruntime.h"
#include "notifier.h"
#include "tagvaluetext.h"
#include "writevaluedialog.h"

#include <optional>

namespace {

// Groups nest without a limit in a file; the search gives up this deep, so a
// pathological project cannot exhaust the stack.
constexpr int MaxGroupDepth = 1000;

bool containsGroup(const TagGroups &groups, const CModObject *group, int depth)
{
    if (depth > MaxGroupDepth)
        return false;
    for (const auto &candidate : groups) {
        if (candidate.get() == group || containsGroup(candidate->groups, group, depth + 1))
            return true;
    }
    return false;
}

} // namespace

CModDevice *deviceOfTreeObject(const CModObject *selected, const Channels &channels)
{
    if (selected == nullptr)
        return nullptr;
    for (const auto &channel : channels) {
        for (const auto &device : channel->devices) {
            if (device.get() == selected)
                return device.get();
            if (selected->isTagGroup() && containsGroup(device->groups, selected, 1))
                return device.get();
        }
    }
    return nullptr;
}

void writeSelectedTag(QWidget *parent, Notifier &notifier,
                      const std::function<WriteTarget()> &selection,
                      const std::function<ModbusRuntime *()> &currentRuntime)
{
    const WriteTarget before = selection ? selection() : WriteTarget{};
    const CModTag *tag = before.tag;
    if (tag == nullptr || !canWriteFromDialog(*tag))
        return;
    if (!isDialogWritableType(dialogTypeCode(*tag))) {
        notifier.showMessage(QStringLiteral("A %1 tag cannot be written from here.")
                                 .arg(DataTypeCode::listName(dialogTypeCode(*tag))),
                             Notifier::Icon::Stop);
        return;
    }

    WriteValueDialog dialog(*tag, notifier, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;

    // The tag and its device may be gone by now; only the same selection,
    // still part of the running project, is written.
    const WriteTarget after = selection ? selection() : WriteTarget{};
    if (after.tag != before.tag || after.device != before.device || after.device == nullptr)
        return;
    // The type is the one the tag's value has now: a value may have arrived
    // while the dialog was open.
    const std::optional<CModData> value = tagValueFromText(dialog.valueText(), writeTypeCode(*tag));
    if (!value)
        return;
    ModbusRuntime *runtime = currentRuntime ? currentRuntime() : nullptr;
    if (runtime == nullptr)
        return;
    if (DeviceRuntime *deviceRuntime = runtime->deviceRuntime(after.device))
        deviceRuntime->queueWrite(*tag, *value);
}
