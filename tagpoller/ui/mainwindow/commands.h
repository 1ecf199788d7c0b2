#pragma once

// The main window's commands, numbered as on Windows: menu items, toolbar
// buttons and keys reach them by these numbers, and the enable rules name them.
namespace Command {

enum Id : int {
    NewProject = 57600,
    OpenProject = 57601,
    CloseProject = 57602,
    SaveProject = 57603,
    SaveProjectAs = 32774,
    ExportAllUnicode = 32885,
    ExportAllAnsi = 32887,
    FirstRecentFile = 57616, // to 57625
    Exit = 57665,
    ToggleToolBar = 59392,
    ToggleStatusBar = 59393,
    NewRtuChannel = 32803,
    NewTcpChannel = 32818,
    EditChannel = 32804,
    DeleteChannel = 32805,
    NewDevice = 32807,
    NewTcpDevice = 32867,
    NewRtuDevice = 32869,
    EditDevice = 32809,
    DeleteDevice = 32811,
    ExportDeviceTagsUnicode = 32848,
    ExportDeviceTagsAnsi = 32871,
    ImportDeviceTagsUnicode = 32849,
    ImportDeviceTagsAnsi = 32873,
    NewTag = 32812,
    EditTag = 32814,
    DeleteTag = 32816,
    NewTagGroup = 32820,
    EditTagGroup = 32821,
    DeleteTagGroup = 32823,
    ExportGroupTagsUnicode = 32851,
    ExportGroupTagsAnsi = 32874,
    ImportGroupTagsUnicode = 32853,
    ImportGroupTagsAnsi = 32875,
    CopyTag = 32860,
    WriteTag = 32836,
    Properties = 32829,
    SwitchToRuntime = 32832,
    SwitchToConfiguration = 32834,
    About = 57664,
    ShowDiagnostics = 32856,
};

} // namespace Command
