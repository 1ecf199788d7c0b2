#pragma once

#include "uniquefd.h"

#include <QObject>
#include <QSocketNotifier>

#include <csignal>
#include <memory>

// Turns SIGINT and SIGTERM into a Qt signal (through a pipe the signal handler
// writes to), so that a program stopped from outside leaves through its event
// loop and its windows remove their files. One instance at a time.
class TerminationSignals : public QObject
{
    Q_OBJECT
public:
    explicit TerminationSignals(QObject *parent = nullptr);
    ~TerminationSignals() override;

    // False when the pipe or the handlers could not be set up.
    bool isActive() const { return m_notifier != nullptr; }

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    hostmsg::UniqueFd m_readEnd;
    hostmsg::UniqueFd m_writeEnd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_previousInterrupt
    {};
    struct sigaction m_previousTerminate
    {};
};
