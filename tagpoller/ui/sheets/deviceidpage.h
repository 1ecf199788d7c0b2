#pragma once

#include "settingspage.h"

class CModDevice;
class CModRTUDev;
class CModTCPDev;
class QLineEdit;

// "Device ID" of an RTU device (0 to 255) or "TCP/IP Device ID" of a TCP
// device, which takes any unsigned number and carries the device's port in a
// hidden edit.
class DeviceIdPage : public SettingsPage
{
    Q_OBJECT
public:
    explicit DeviceIdPage(CModRTUDev &device, QWidget *parent = nullptr);
    explicit DeviceIdPage(CModTCPDev &device, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    DeviceIdPage(const QString &caption, CModDevice &device, CModTCPDev *tcpDevice,
                 QWidget *parent);

    CModDevice &m_device;
    CModTCPDev *m_tcpDevice; // null for an RTU device
    QLineEdit *m_deviceId;
    QLineEdit *m_devicePort = nullptr; // hidden; TCP devices only
};
