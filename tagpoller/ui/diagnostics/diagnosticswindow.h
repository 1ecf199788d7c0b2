#pragma once

#include "channelruntime.h"

#include <QDialog>
#include <QTimer>

#include <chrono>
#include <vector>

class DiagnosticsModel;
class QSettings;
class QTableView;

// "Status": the modeless diagnostics window of a run. It lists every TCP
// channel, its devices and their frames with the live counters of the scan
// cycle, asking the rows for their texts again twice a second while visible.
//
// The rows point into the run; the window must be closed (reject(), as by
// its "Close" button) before the run that owns them is stopped. Closing drops
// the rows at once and then, from the event loop, emits closing(); the
// receiver may delete the window there (deleteLater is the safe way).
//
// Controls, by object name: diagnosticsList, closeButton.
class DiagnosticsWindow : public QDialog
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds RefreshInterval{500};
    static constexpr int DefaultColumnWidth = 100;

    // `settings` keeps the column widths in "DiagnoList"; it must outlive the
    // window.
    DiagnosticsWindow(std::vector<DiagnosticsRow> rows, QSettings &settings, QWidget *parent = nullptr);

    QTableView *list() const { return m_list; }
    DiagnosticsModel *model() const { return m_model; }
    bool isRefreshing() const { return m_refreshTimer.isActive(); }

    // The "Close" button and Escape: stop refreshing, keep the column widths,
    // hide and let go of the rows, then announce closing().
    void reject() override;

    // The refresh timer's work: while the window is visible, every cell is
    // asked for its text again.
    void refreshIfVisible();

Q_SIGNALS:
    // The window has closed and shows no row any more.
    void closing();

private:
    void readSettings();
    void writeSettings();
    void finishClosing();

    QSettings &m_settings;
    DiagnosticsModel *m_model = nullptr;
    QTableView *m_list = nullptr;
    QTimer m_refreshTimer;
    bool m_closing = false;
};
