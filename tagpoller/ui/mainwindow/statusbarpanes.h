#pragma once

#include <QObject>
#include <QString>

class DriverState;
class MainWindowPanes;
class QLabel;
class QStatusBar;

// The status bar's panes: the project file (with " *" while modified), the
// tag counts of the project and of the selected node, and the mode, which
// blinks while the project runs.
class StatusBarPanes : public QObject
{
    Q_OBJECT
public:
    StatusBarPanes(const DriverState &state, const MainWindowPanes &panes, QStatusBar *bar);

    // Pane 1 to 4; any other number gives the status bar's own message.
    QString text(int pane) const;

    void refreshPath();
    void refreshCounts();
    // Twice a second: "Run Mode..." blinks while running.
    void refreshMode();

private:
    const DriverState &m_state;
    const MainWindowPanes &m_panes;
    QStatusBar *m_bar;
    QLabel *m_pathPane = nullptr;
    QLabel *m_projectTagsPane = nullptr;
    QLabel *m_selectedTagsPane = nullptr;
    QLabel *m_modePane = nullptr;
    bool m_blinkOn = false;
};
