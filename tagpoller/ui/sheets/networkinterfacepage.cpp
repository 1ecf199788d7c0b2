#include "networkinterfacepage.h"

#include "cmodchnl.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

NetworkInterfacePage::NetworkInterfacePage(CModTCPChnl &channel, QWidget *parent)
    : SettingsPage(QStringLiteral("Network Interface"), parent)
    , m_channel(channel)
    , m_ipOctets{createDigitsEdit(QStringLiteral("ipOctet1")),
                 createDigitsEdit(QStringLiteral("ipOctet2")),
                 createDigitsEdit(QStringLiteral("ipOctet3")),
                 createDigitsEdit(QStringLiteral("ipOctet4"))}
    , m_portNumber(createDigitsEdit(QStringLiteral("portNumber")))
    , m_reconnectAfter(createDigitsEdit(QStringLiteral("reconnectAfter")))
    , m_maxReconnectAttempts(createDigitsEdit(QStringLiteral("maxReconnectAttempts")))
    , m_connectTimeout(createDigitsEdit(QStringLiteral("connectTimeout")))
    , m_networkAdapter(createList({QStringLiteral("Default"), QStringLiteral("RealTek Adapter"),
                                   QStringLiteral("Modbus Adapter")},
                                  QStringLiteral("networkAdapter")))
{
    setObjectName(QStringLiteral("networkInterfacePage"));
    m_connectTimeout->hide();
    m_networkAdapter->hide();

    auto *address = new QHBoxLayout;
    for (QLineEdit *octet : m_ipOctets) {
        if (octet != m_ipOctets.front())
            address->addWidget(new QLabel(QStringLiteral("."), this));
        address->addWidget(octet);
    }

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("IP Address:"), this), 0, 0);
    grid->addLayout(address, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Port Number:"), this), 1, 0);
    grid->addWidget(m_portNumber, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Attempt reconnect after"), this), 2, 0);
    grid->addWidget(m_reconnectAfter, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("seconds. [ 5 to 7200 ]"), this), 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Maximum reconnect attempts"), this), 3, 0);
    grid->addWidget(m_maxReconnectAttempts, 3, 1);
    grid->addWidget(new QLabel(QStringLiteral("[0 to 100], 0 = keep attempting."), this), 3, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(
        createStaticText(QStringLiteral("This channel is configured to communicate over TCP/IP "
                                        "network. \n Set following parameters for using this "
                                        "network.")));
    layout->addLayout(grid);
    layout->addWidget(m_connectTimeout);
    layout->addWidget(m_networkAdapter);
    layout->addStretch();
}

void NetworkInterfacePage::load()
{
    for (size_t i = 0; i < m_ipOctets.size(); ++i)
        m_ipOctets[i]->setText(QString::number(m_channel.IpAddress[i]));
    m_portNumber->setText(QString::number(m_channel.PortNumber));
    m_reconnectAfter->setText(FieldReader::unsignedText(m_channel.ReconnectAfter));
    m_maxReconnectAttempts->setText(FieldReader::unsignedText(m_channel.MaxReconnectAttempts));
    m_connectTimeout->setText(FieldReader::unsignedText(m_channel.ConnectTimeout));
    // The adapter is stored as text; one the list does not know is kept as it is.
    if (m_networkAdapter->findText(m_channel.NetworkAdapter) < 0)
        m_networkAdapter->addItem(m_channel.NetworkAdapter);
    m_networkAdapter->setCurrentText(m_channel.NetworkAdapter);
}

std::optional<FieldError> NetworkInterfacePage::save()
{
    FieldReader reader;
    for (size_t i = 0; i < m_ipOctets.size(); ++i)
        reader.signedNumber(m_ipOctets[i], m_channel.IpAddress[i], 0, 255);
    reader.signedNumber(m_portNumber, m_channel.PortNumber, 100, 65535);
    reader.unsignedNumber(m_reconnectAfter, m_channel.ReconnectAfter, 5, 7200);
    reader.unsignedNumber(m_maxReconnectAttempts, m_channel.MaxReconnectAttempts, 0, 100);
    // The connect timeout is not shown on this page: nobody could correct a
    // value out of range from a file, so the stored one stays as it is.
    if (!m_connectTimeout->isHidden())
        reader.unsignedNumber(m_connectTimeout, m_channel.ConnectTimeout, 1, 1000);
    if (reader.failed())
        return reader.error();
    m_channel.NetworkAdapter = m_networkAdapter->currentText();
    return std::nullopt;
}
