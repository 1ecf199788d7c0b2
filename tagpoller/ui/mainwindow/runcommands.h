#pragma once

#include "commandcontext.h"
#include "diagnosticswindow.h"

#include <QObject>
#include <QPointer>

class QSettings;
class RunMode;

// The commands of run mode: switching to the runtime and back, the start the
// host runtime asks for, the diagnostics window of a run and writing a value
// to the selected tag while the project runs.
class RunCommands : public QObject
{
    Q_OBJECT
public:
    // `store` keeps the diagnostics window's column widths.
    RunCommands(const CommandContext &context, RunMode &runMode, QSettings &store, QObject *parent);

    // Runtime from configuration mode; back only in a run the user started;
    // diagnostics and writes only while running.
    void updateActions();

    void switchToRuntime();
    void switchToConfiguration();
    // The host runtime launched the driver: the last project opens and runs.
    void startForHost();
    // Back to editing once no run is going on any more.
    void returnToConfigurationMode();

    void showDiagnostics();
    // Closed as by its Close button: it lets go of the rows at once, before
    // the objects they show are released.
    void closeDiagnostics();
    DiagnosticsWindow *diagnosticsWindow() const { return m_diagnostics; }

    void writeTag();

Q_SIGNALS:
    // The mode flags changed: every enable rule follows.
    void modeChanged();

private:
    CommandContext m_context;
    RunMode &m_runMode;
    QSettings &m_store;
    QPointer<DiagnosticsWindow> m_diagnostics;
};
