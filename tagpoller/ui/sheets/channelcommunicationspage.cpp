#include "channelcommunicationspage.h"

#include "cmodchnl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace {

// Numbers in the serial lists carry a leading blank.
QStringList numberItems(std::initializer_list<int> numbers)
{
    QStringList items;
    for (int number : numbers)
        items << QStringLiteral(" %1").arg(number);
    return items;
}

} // namespace

ChannelCommunicationsPage::ChannelCommunicationsPage(CModRTUChnl &channel, QWidget *parent)
    : SettingsPage(QStringLiteral("Channel Communications"), parent)
    , m_channel(channel)
    , m_comPort(createList(comPortItems(), QStringLiteral("comPort")))
    , m_baudRate(createList(baudRateItems(), QStringLiteral("baudRate")))
    , m_dataBits(createList(dataBitsItems(), QStringLiteral("dataBits")))
    , m_parity(createList(parityItems(), QStringLiteral("parity")))
    , m_stopBits(createRadioButtons({QStringLiteral("1"), QStringLiteral("2")},
                                    {QStringLiteral("oneStopBit"), QStringLiteral("twoStopBits")}))
    , m_flowControl(createList(flowControlItems(), QStringLiteral("flowControl")))
    , m_connectTimeout(createDigitsEdit(QStringLiteral("connectTimeout")))
    , m_reportCommErrors(
          createCheckBox(QStringLiteral("Report comm. errors"), QStringLiteral("reportCommErrors")))
    , m_ethernetEncapsulation(createCheckBox(QStringLiteral("Use Ethernet encapsulation"),
                                             QStringLiteral("ethernetEncapsulation")))
{
    setObjectName(QStringLiteral("channelCommunicationsPage"));
    m_reportCommErrors->hide();
    m_ethernetEncapsulation->hide();

    auto *stopBits = new QHBoxLayout;
    for (QAbstractButton *button : m_stopBits->buttons())
        stopBits->addWidget(button);
    stopBits->addStretch();

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Com Port:"), m_comPort);
    form->addRow(QStringLiteral("Baud rate:"), m_baudRate);
    form->addRow(QStringLiteral("Data bits:"), m_dataBits);
    form->addRow(QStringLiteral("Parity:"), m_parity);
    form->addRow(QStringLiteral("Stop bits:"), stopBits);
    form->addRow(QStringLiteral("Flow Control:"), m_flowControl);
    form->addRow(QStringLiteral("Connect Timeout:"), m_connectTimeout);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_reportCommErrors);
    layout->addWidget(m_ethernetEncapsulation);
    layout->addStretch();
}

QStringList ChannelCommunicationsPage::comPortItems()
{
    QStringList items{QStringLiteral("None")};
    for (int port = 1; port <= 255; ++port)
        items << QStringLiteral("COM %1").arg(port);
    return items;
}

QStringList ChannelCommunicationsPage::baudRateItems()
{
    return numberItems({300, 600, 1200, 2400, 4800, 9600, 14400, 19200, 28800, 38400, 56000, 57600,
                        115200, 128000, 256000});
}

QStringList ChannelCommunicationsPage::dataBitsItems()
{
    return numberItems({5, 6, 7, 8});
}

QStringList ChannelCommunicationsPage::parityItems()
{
    return {QStringLiteral("None"), QStringLiteral("Odd"), QStringLiteral("Even")};
}

QStringList ChannelCommunicationsPage::flowControlItems()
{
    return {QStringLiteral("None"),    QStringLiteral("DTR"),        QStringLiteral("RTS"),
            QStringLiteral("RTS,DTR"), QStringLiteral("RTS Always"), QStringLiteral("RTS Manual")};
}

void ChannelCommunicationsPage::load()
{
    const SerialSettings &com = m_channel.comProps;
    showListPosition(m_comPort, com.ComPort);
    showListPosition(m_baudRate, com.BaudRate);
    showListPosition(m_dataBits, com.DataBits);
    showListPosition(m_parity, com.Parity);
    showCheckedId(m_stopBits, com.StopBits);
    showListPosition(m_flowControl, com.FlowControl);
    m_connectTimeout->setText(FieldReader::unsignedText(m_channel.ConnectTimeout));
    m_reportCommErrors->setChecked(com.ReportCommErrors);
    m_ethernetEncapsulation->setChecked(com.EthernetEncapsulation);
}

std::optional<FieldError> ChannelCommunicationsPage::save()
{
    SerialSettings &com = m_channel.comProps;
    takeListPosition(m_comPort, com.ComPort);
    takeListPosition(m_baudRate, com.BaudRate);
    takeListPosition(m_dataBits, com.DataBits);
    takeListPosition(m_parity, com.Parity);
    takeCheckedId(m_stopBits, com.StopBits);
    takeListPosition(m_flowControl, com.FlowControl);
    FieldReader reader;
    reader.unsignedNumber(m_connectTimeout, m_channel.ConnectTimeout, 1, 1000);
    if (reader.failed())
        return reader.error();
    com.ReportCommErrors = m_reportCommErrors->isChecked();
    com.EthernetEncapsulation = m_ethernetEncapsulation->isChecked();
    return std::nullopt;
}
