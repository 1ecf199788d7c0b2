#pragma once

class CommandActions;
class DriverState;
class EventLog;
class MainWindowPanes;
class Notifier;
class StatusBarPanes;
class QWidget;

// What every group of main-window commands works on: the driver's state, the
// event log, the notifier for questions and file names, the actions it
// connects and enables, the panes with the selection, the status bar, and the
// window that parents its dialogs.
struct CommandContext
{
    DriverState &state;
    EventLog &log;
    Notifier &notifier;
    CommandActions &actions;
    MainWindowPanes &panes;
    StatusBarPanes &status;
    QWidget *window;
};
