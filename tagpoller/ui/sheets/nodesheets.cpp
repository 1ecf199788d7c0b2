#include "nodesheets.h"

#include "channeleditor.h"
#include "deviceeditor.h"
#include "tabbedsheet.h"
#include "wizardsheet.h"

namespace {

bool runSheet(QWidget *parent, NodeEditor &editor, Notifier &notifier)
{
    if (editor.isNew()) {
        WizardSheet sheet(editor, notifier, parent);
        return sheet.exec() == QDialog::Accepted;
    }
    TabbedSheet sheet(editor, notifier, parent);
    const bool accepted = sheet.exec() == QDialog::Accepted;
    return accepted || sheet.hasApplied();
}

} // namespace

bool editChannelProperties(QWidget *parent, CModChnl &channel, const Channels &siblings,
                           Notifier &notifier)
{
    ChannelEditor editor(channel, siblings);
    return runSheet(parent, editor, notifier);
}

bool editDeviceProperties(QWidget *parent, CModDevice &device, const Devices &siblings,
                          Notifier &notifier)
{
    DeviceEditor editor(device, siblings);
    return runSheet(parent, editor, notifier);
}
