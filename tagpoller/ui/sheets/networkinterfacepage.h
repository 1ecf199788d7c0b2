#pragma once

#include "settingspage.h"

#include <array>

class CModTCPChnl;
class QComboBox;
class QLineEdit;

// "Network Interface" of a TCP channel: where the channel connects, and how it
// reconnects.
class NetworkInterfacePage : public SettingsPage
{
    Q_OBJECT
public:
    explicit NetworkInterfacePage(CModTCPChnl &channel, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    CModTCPChnl &m_channel;
    std::array<QLineEdit *, 4> m_ipOctets; // first octet first
    QLineEdit *m_portNumber;
    QLineEdit *m_reconnectAfter;
    QLineEdit *m_maxReconnectAttempts;
    QLineEdit *m_connectTimeout; // hidden, yet checked
    QComboBox *m_networkAdapter; // hidden
};
