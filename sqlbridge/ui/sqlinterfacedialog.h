#pragma once

#include <QDialog>

class MessageLog;
class Notifier;
class QLabel;
class QListView;
class QPushButton;
class SqlBridge;

namespace hostmsg {
class Window;
}

// The bridge's window: the message list, the version, the totals of tag values
// and alarms written, and Close. The host runtime finds it by its title.
// Enter does nothing (an accidental Enter must not close away buffered data);
// Escape, Close and the window's close button ask first, unless the program
// closes itself.
class SqlInterfaceDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr char Title[] = "Orvala_SQL_Interface";

    SqlInterfaceDialog(SqlBridge &bridge, MessageLog &log, Notifier &notifier,
                       QWidget *parent = nullptr);

    // Hands the window's messages to the bridge; WM_ACTIVATE raises the dialog.
    void attach(hostmsg::Window &window);

    // Closes without the question: the host runtime's close-when-drained
    // request, or a termination signal.
    void closeWithoutAsking();

    QString versionText() const;
    QString tagTotalText() const;
    QString alarmTotalText() const;
    QListView *messageList() const { return m_messages; }
    QPushButton *closeButton() const { return m_closeButton; }

public Q_SLOTS:
    void accept() override;
    void reject() override;

private:
    void raiseToFront();

    SqlBridge &m_bridge;
    Notifier &m_notifier;
    QListView *m_messages = nullptr;
    QLabel *m_version = nullptr;
    QLabel *m_tagTotal = nullptr;
    QLabel *m_alarmTotal = nullptr;
    QPushButton *m_closeButton = nullptr;
    bool m_closingWithoutAsking = false;
};
