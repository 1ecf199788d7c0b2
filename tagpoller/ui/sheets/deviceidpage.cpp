#include "deviceidpage.h"

#include "cmoddevice.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

DeviceIdPage::DeviceIdPage(CModRTUDev &device, QWidget *parent)
    : DeviceIdPage(QStringLiteral("Device ID"), device, nullptr, parent)
{}

DeviceIdPage::DeviceIdPage(CModTCPDev &device, QWidget *parent)
    : DeviceIdPage(QStringLiteral("TCP/IP Device ID"), device, &device, parent)
{}

DeviceIdPage::DeviceIdPage(const QString &caption, CModDevice &device, CModTCPDev *tcpDevice,
                           QWidget *parent)
    : SettingsPage(caption, parent)
    , m_device(device)
    , m_tcpDevice(tcpDevice)
    , m_deviceId(createDigitsEdit(QStringLiteral("deviceId")))
{
    setObjectName(QStringLiteral("deviceIdPage"));
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(
        QStringLiteral("The device you are defining may be multidroped as part of a network of "
                       "devices. In order to communicate with the device, it must be assigned a "
                       "unique ID. Your device's documentation may refer to this ID as the "
                       "\"Network ID\" or the \"Network Address\".")));
    layout->addWidget(createStaticText(QStringLiteral("Valid values: 0 to 255")));
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Device ID"), m_deviceId);
    layout->addLayout(form);
    if (m_tcpDevice) {
        m_devicePort = createDigitsEdit(QStringLiteral("devicePort"));
        m_devicePort->hide();
        layout->addWidget(m_devicePort);
    }
    layout->addStretch();
}

void DeviceIdPage::load()
{
    m_deviceId->setText(FieldReader::unsignedText(m_device.DeviceId));
    if (m_tcpDevice)
        m_devicePort->setText(FieldReader::unsignedText(m_tcpDevice->DevicePort));
}

std::optional<FieldError> DeviceIdPage::save()
{
    FieldReader reader;
    // The unit identifier goes on the wire as one byte, over TCP as over a
    // serial line.
    reader.unsignedNumber(m_deviceId, m_device.DeviceId, 0, 255);
    if (m_tcpDevice)
        reader.unsignedNumber(m_devicePort, m_tcpDevice->DevicePort);
    return reader.error();
}
