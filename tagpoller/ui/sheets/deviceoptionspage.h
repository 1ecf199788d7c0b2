#pragma once

#include "settingspage.h"

#include <vector>

class CModDevice;
class QCheckBox;

// A page of check boxes, each bound to one flag of the device:
// "Data Access Settings" and "Data Encoding Settings".
class DeviceOptionsPage : public SettingsPage
{
    Q_OBJECT
public:
    struct Option
    {
        QString text;
        bool CModDevice::*flag;
        QString objectName;
        bool hidden = false; // exchanged like the others, but not shown
    };

    DeviceOptionsPage(const QString &caption, CModDevice &device, std::vector<Option> options,
                      QWidget *parent = nullptr);

    static DeviceOptionsPage *createDataAccessPage(CModDevice &device, QWidget *parent);
    static DeviceOptionsPage *createDataEncodingPage(CModDevice &device, QWidget *parent);

    void load() override;
    std::optional<FieldError> save() override;

private:
    CModDevice &m_device;
    std::vector<Option> m_options;
    std::vector<QCheckBox *> m_boxes; // one per option, in the same order
};
