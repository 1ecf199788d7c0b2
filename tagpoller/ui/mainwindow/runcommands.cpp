#include "runcommands.h"

#include "commandactions.h"
#include "driverstate.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "mainwindowpanes.h"
#include "runmode.h"
#include "writetagcommand.h"

#include <QAction>
#include <QTimer>
#include <QTreeView>

RunCommands::RunCommands(const CommandContext &context, RunMode &runMode, QSettings &store,
                         QObject *parent)
    : QObject(parent), m_context(context), m_runMode(runMode), m_store(store)
{
    using namespace Command;
    const CommandActions &actions = m_context.actions;
    connect(actions.action(SwitchToRuntime), &QAction::triggered, this,
            &RunCommands::switchToRuntime);
    connect(actions.action(SwitchToConfiguration), &QAction::triggered, this,
            &RunCommands::switchToConfiguration);
    connect(actions.action(ShowDiagnostics), &QAction::triggered, this,
            &RunCommands::showDiagnostics);
    connect(actions.action(WriteTag), &QAction::triggered, this, &RunCommands::writeTag);
    connect(&m_runMode, &RunMode::diagnosticsMustClose, this, &RunCommands::closeDiagnostics);
}

void RunCommands::updateActions()
{
    using namespace Command;
    const DriverState &state = m_context.state;
    const bool configuring = state.configurationMode;
    const CommandActions &actions = m_context.actions;
    actions.setEnabled({SwitchToRuntime}, configuring);
    actions.setEnabled({SwitchToConfiguration}, !configuring && !state.launchedByHost);
    actions.setEnabled({WriteTag, ShowDiagnostics}, !configuring);
}

void RunCommands::switchToRuntime()
{
    m_runMode.switchToRuntime();
}

void RunCommands::switchToConfiguration()
{
    m_runMode.switchToConfigurationMode();
}

void RunCommands::startForHost()
{
    DriverState &state = m_context.state;
    const QString path = state.recentFiles.entry(0);
    if (!path.isEmpty() && state.project.startNew()) {
        state.project.loadFile(path);
        m_context.panes.tree()->expandAll();
        m_context.log.addMessage(DriverString::format(DriverString::ProjectOpened, {path}));
        state.recentFiles.add(path);
    }
    state.launchedByHost = true;
    m_context.log.addMessage(DriverString::text(DriverString::OpenProjectRequestFromParent));
    Q_EMIT modeChanged();
    QTimer::singleShot(0, this, &RunCommands::switchToRuntime);
}

void RunCommands::returnToConfigurationMode()
{
    DriverState &state = m_context.state;
    if (!state.running && !state.configurationMode) {
        state.configurationMode = true;
        Q_EMIT modeChanged();
    }
}

void RunCommands::showDiagnostics()
{
    if (!m_context.state.running || !m_runMode.runtime())
        return;
    if (!m_diagnostics) {
        m_diagnostics =
            new DiagnosticsWindow(m_runMode.runtime()->diagnosticRows(), m_store, m_context.window);
        connect(m_diagnostics, &DiagnosticsWindow::closing, m_diagnostics, &QObject::deleteLater);
    }
    m_diagnostics->show();
    m_diagnostics->raise();
}

void RunCommands::closeDiagnostics()
{
    if (m_diagnostics)
        m_diagnostics->reject();
}

void RunCommands::writeTag()
{
    writeSelectedTag(
        m_context.window, m_context.notifier,
        [this] {
            return WriteTarget{m_context.panes.selectedTag(),
                               deviceOfTreeObject(m_context.panes.selectedObject(),
                                                  m_context.state.project.channels())};
        },
        [this] { return m_runMode.runtime(); });
}
