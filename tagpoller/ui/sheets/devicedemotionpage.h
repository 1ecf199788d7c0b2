#pragma once

#include "settingspage.h"

class CModDevice;
class QCheckBox;
class QLineEdit;

// "Device Demotion": whether and for how long a failing device is left out of
// the channel's turns.
class DeviceDemotionPage : public SettingsPage
{
    Q_OBJECT
public:
    explicit DeviceDemotionPage(CModDevice &device, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    CModDevice &m_device;
    QCheckBox *m_autoDemote;
    QLineEdit *m_demoteAfter;
    QLineEdit *m_demoteFor;
    QCheckBox *m_discardWrites;
};
