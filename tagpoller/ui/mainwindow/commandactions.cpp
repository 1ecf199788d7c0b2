#include "commandactions.h"

#include <QAction>
#include <QIcon>
#include <QWidget>

CommandActions::CommandActions(QWidget *window) : m_window(window)
{
    using namespace Command;
    add(NewProject, tr("&New..."), tr("Create a new project"), "new");
    add(OpenProject, tr("&Open..."), tr("Open an existing project"), "open");
    add(CloseProject, tr("&Close..."), tr("Close the project"), "close");
    add(SaveProject, tr("&Save"), tr("Save the project"), "save");
    add(SaveProjectAs, tr("Save &As..."), tr("Save the project under a new name"), "saveas");
    add(ExportAllUnicode, tr("Export all tags to Unicode CSV File..."),
        tr("Export every tag of the project for the tag database, as Unicode"));
    add(ExportAllAnsi, tr("Export all tags to Ansi CSV File..."),
        tr("Export every tag of the project for the tag database, as ANSI"));
    add(Exit, tr("E&xit"), tr("Quit the driver"));

    add(NewRtuChannel, tr("New RTU Channel..."), tr("Add a serial channel"), "rtuchannel");
    add(NewTcpChannel, tr("New TCP Channel..."), tr("Add a Modbus TCP channel"), "tcpchannel");
    add(EditChannel, tr("Edit Channel...\tF4"), tr("Edit the selected channel"));
    add(DeleteChannel, tr("Delete Channel..."), tr("Delete the selected channel"));
    add(NewDevice, tr("New Device..."), tr("Add a device to the selected channel"));
    add(NewTcpDevice, tr("New TCPIP Device"), tr("Add a device to the selected TCP channel"),
        "tcpdevice");
    add(NewRtuDevice, tr("New RTU Device"), tr("Add a device to the selected RTU channel"),
        "rtudevice");
    add(EditDevice, tr("Edit Device...\tF4"), tr("Edit the selected device"));
    add(DeleteDevice, tr("Delete Device..."), tr("Delete the selected device"));
    add(ExportDeviceTagsUnicode, tr("Export Tags to Unicode CSV File..."),
        tr("Export the device's tags as Unicode CSV"));
    add(ExportDeviceTagsAnsi, tr("Export Tags to Ansi CSV File..."),
        tr("Export the device's tags as ANSI CSV"));
    add(ImportDeviceTagsUnicode, tr("Import Tags from Unicode CSV File..."),
        tr("Import tags into the device from Unicode CSV"));
    add(ImportDeviceTagsAnsi, tr("Import Tags from Ansi CSV File..."),
        tr("Import tags into the device from ANSI CSV"));

    add(NewTag, tr("New Tag..."), tr("Add tags to the selected device or group"), "tag");
    add(EditTag, tr("Edit Tag...\tF4"), tr("Edit the selected tag"));
    add(DeleteTag, tr("Delete Tag...\tDel"), tr("Delete the selected tag"));
    add(NewTagGroup, tr("New Tag Group..."), tr("Add a tag group"), "taggroup");
    add(EditTagGroup, tr("Edit Tag Group...\tF4"), tr("Edit the selected tag group"));
    add(DeleteTagGroup, tr("Delete Tag Group..."), tr("Delete the selected tag group"));
    add(ExportGroupTagsUnicode, tr("Export Group Tags to Unicode CSV File..."),
        tr("Export the group's tags as Unicode CSV"));
    add(ExportGroupTagsAnsi, tr("Export Group Tags to Ansi CSV File..."),
        tr("Export the group's tags as ANSI CSV"));
    add(ImportGroupTagsUnicode, tr("Import Group Tags from Unicode CSV File..."),
        tr("Import tags into the group from Unicode CSV"));
    add(ImportGroupTagsAnsi, tr("Import Group Tags from Ansi CSV File..."),
        tr("Import tags into the group from ANSI CSV"));
    add(CopyTag, tr("Copy tag to clipboard\tCtrl + C"),
        tr("Copy the fully qualified name of the selection"), "copytag");
    add(WriteTag, tr("WriteTag"), tr("Write a value to the selected tag"));
    add(Properties, tr("Properties"), tr("Edit the properties of the selected item"), "properties");
    add(SwitchToRuntime, tr("Switch to Runtime"), tr("Run the project"), "runtime");
    add(SwitchToConfiguration, tr("Switch to Configuration Mode"),
        tr("Stop the run and edit the project"), "configmode");
    add(About, tr("&About Modbus Driver..."), tr("Show the program's version"));
    add(ShowDiagnostics, tr("Show Diagnostics..."), tr("Show the channels' counters"));

    for (Id id : {ToggleToolBar, ToggleStatusBar}) {
        QAction *toggle = id == ToggleToolBar
                              ? add(id, tr("&Toolbar"), tr("Show or hide the toolbar"))
                              : add(id, tr("&Status Bar"), tr("Show or hide the status bar"));
        toggle->setCheckable(true);
        toggle->setChecked(true);
    }

    // The usual keys of file commands.
    action(NewProject)->setShortcut(QKeySequence::New);
    action(OpenProject)->setShortcut(QKeySequence::Open);
    action(SaveProject)->setShortcut(QKeySequence::Save);
    for (Id id : {NewProject, OpenProject, SaveProject})
        action(id)->setShortcutContext(Qt::WindowShortcut);
}

QAction *CommandActions::add(Command::Id id, const QString &text, const QString &statusTip,
                             const char *icon)
{
    auto *action = new QAction(text, m_window);
    action->setStatusTip(statusTip);
    action->setData(int(id));
    if (icon)
        action->setIcon(QIcon(QStringLiteral(":/icons/%1.svg").arg(QLatin1StringView(icon))));
    m_actions.insert(id, action);
    return action;
}

void CommandActions::setEnabled(std::initializer_list<Command::Id> ids, bool enabled) const
{
    for (Command::Id id : ids)
        action(id)->setEnabled(enabled);
}

QList<QAction *> CommandActions::enabledOf(const QList<Command::Id> &ids) const
{
    QList<QAction *> enabled;
    for (Command::Id id : ids) {
        if (QAction *candidate = action(id); candidate && candidate->isEnabled())
            enabled << candidate;
    }
    return enabled;
}
