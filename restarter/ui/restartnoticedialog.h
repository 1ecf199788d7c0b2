#pragma once

#include "hostruntimelauncher.h"

#include <QDialog>
#include <QTimer>

#include <chrono>

class QLabel;

// The notice shown while the host runtime restarts: after two seconds it
// starts the host runtime once and closes. Enter or Escape before that close
// it without starting anything. While pkexec asks for authentication the
// notice stays, and closes as soon as pkexec has started the host runtime or
// given up.
class RestartNoticeDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds LaunchDelay{2000};

    explicit RestartNoticeDialog(HostRuntimeLauncher &launcher, QWidget *parent = nullptr);

    bool hasLaunched() const { return m_launched; }
    // Why the launch failed; empty when it did not fail or did not happen.
    QString launchFailure() const { return m_launchFailure; }

public Q_SLOTS:
    // The hidden "Launch" command: launches at once, without waiting.
    void launchNow();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void reject() override;
    void done(int result) override;

private:
    void onLaunchTimer();
    void onLaunchFinished(const LaunchOutcome &outcome);

    HostRuntimeLauncher &m_launcher;
    QLabel *m_notice = nullptr;
    QTimer m_launchTimer;
    bool m_launched = false;
    QString m_launchFailure;
};
