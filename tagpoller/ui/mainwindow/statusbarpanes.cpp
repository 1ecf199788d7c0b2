#include "statusbarpanes.h"

#include "driverstate.h"
#include "mainwindowpanes.h"
#include "projecttreemodel.h"
#include "statuspane.h"

#include <QStatusBar>

StatusBarPanes::StatusBarPanes(const DriverState &state, const MainWindowPanes &panes,
                               QStatusBar *bar)
    : QObject(bar), m_state(state), m_panes(panes), m_bar(bar)
{
    // Panes sized by the texts the Windows status bar measured them with.
    const auto addPane = [bar](const QString &sizingText) {
        auto *pane = new StatusPane(sizingText, bar);
        bar->addPermanentWidget(pane);
        return pane;
    };
    m_pathPane = addPane(QString(141, u' '));
    m_projectTagsPane = addPane(QStringLiteral("Project Tags = 0000000 ;"));
    m_selectedTagsPane = addPane(QStringLiteral("Selected Item Tags = 000000 ;"));
    m_modePane = addPane(QStringLiteral("Configuration Mode..."));
    m_modePane->setText(QStringLiteral("Configuration Mode..."));
}

QString StatusBarPanes::text(int pane) const
{
    switch (pane) {
    case 1:
        return m_pathPane->text();
    case 2:
        return m_projectTagsPane->text();
    case 3:
        return m_selectedTagsPane->text();
    case 4:
        return m_modePane->text();
    default:
        return m_bar->currentMessage();
    }
}

void StatusBarPanes::refreshPath()
{
    m_pathPane->setText(m_state.project.path() +
                        (m_state.project.isModified() ? QStringLiteral(" *") : QString()));
}

void StatusBarPanes::refreshCounts()
{
    const qsizetype projectTags = m_state.project.tagCount();
    m_projectTagsPane->setText(projectTags ? QStringLiteral("Project Tags = %1").arg(projectTags)
                                           : QString());
    const QModelIndex selected = m_panes.selectedIndex();
    m_selectedTagsPane->setText(
        selected.isValid()
            ? QStringLiteral("Selected Item Tags = %1").arg(m_panes.treeModel()->tagCount(selected))
            : QString());
}

void StatusBarPanes::refreshMode()
{
    if (m_state.running) {
        m_blinkOn = !m_blinkOn;
        m_modePane->setText(m_blinkOn ? QStringLiteral("Run Mode...") : QString());
    } else {
        m_modePane->setText(QStringLiteral("Configuration Mode..."));
    }
}
