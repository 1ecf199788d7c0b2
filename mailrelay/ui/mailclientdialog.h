#pragma once

#include "hostmsg.h"

#include <QDialog>

#include <memory>

class EventListModel;
class MailRelay;
class Notifier;
class QLabel;
class QPushButton;
class QTableView;
class QCloseEvent;

namespace hostmsg {
class Desktop;
class Window;
} // namespace hostmsg

// The relay's window "Orvala Email Client": the version, the two queue
// counters, the event list and Close. It registers the window the host
// runtime finds by title and hands its messages to the relay.
class MailClientDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr char Title[] = "Orvala Email Client";

    MailClientDialog(MailRelay &relay, Notifier &notifier, QWidget *parent = nullptr);
    ~MailClientDialog() override;

    // Registers the host runtime's window; false (with the reason logged)
    // when the message folder refuses it.
    bool registerHostWindow(hostmsg::Desktop &desktop);

    // Closes without asking (termination signals, the drained close).
    void closeWithoutAsking();

    QLabel *yahooCounter() const { return m_yahooCounter; }
    QLabel *gmailCounter() const { return m_gmailCounter; }
    QTableView *eventView() const { return m_eventView; }
    QPushButton *closeButton() const { return m_closeButton; }

    // The cancel path (close box, Escape, a posted close): asks first unless
    // closing without asking.
    void reject() override;
    // The Close button: ends at once.
    void accept() override;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void finish(int result);

    MailRelay &m_relay;
    Notifier &m_notifier;
    EventListModel *m_model = nullptr;
    QLabel *m_yahooCounter = nullptr;
    QLabel *m_gmailCounter = nullptr;
    QTableView *m_eventView = nullptr;
    QPushButton *m_closeButton = nullptr;
    std::unique_ptr<hostmsg::Window> m_hostWindow;
    bool m_closingWithoutAsking = false;
    bool m_finished = false;
};
