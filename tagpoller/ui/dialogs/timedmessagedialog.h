#pragma once

#include <QDialog>
#include <QTimer>

#include <chrono>

// A driver message that closes itself, as if cancelled, when the user leaves
// it alone for the time-out; OK closes it earlier. Switching to run mode shows
// its notices this way so that an unattended start does not wait for a click.
//
// Controls, by object name: messageEdit, okButton.
class TimedMessageDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds DefaultTimeout{std::chrono::seconds(10)};

    explicit TimedMessageDialog(const QString &message, QWidget *parent = nullptr);

    QString message() const { return m_message; }
    std::chrono::milliseconds timeout() const { return m_closeTimer.intervalAsDuration(); }
    // Counts from when the dialog is shown; tests shorten it.
    void setTimeout(std::chrono::milliseconds timeout) { m_closeTimer.setInterval(timeout); }
    // True from the dialog's showing until it closes.
    bool isCountingDown() const { return m_closeTimer.isActive(); }

protected:
    void showEvent(QShowEvent *event) override;

private:
    QString m_message;
    QTimer m_closeTimer;
};
