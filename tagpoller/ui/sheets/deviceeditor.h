#pragma once

#include "cmodchnl.h"
#include "nodeeditor.h"
#include "nodenamerule.h"

#include <memory>

// The settings of an RTU or TCP device, for "RTU Device Properties" or
// "TCP Device Properties".
class DeviceEditor : public NodeEditor
{
public:
    // `siblings` are the devices of the device's channel; `device` may be among them.
    DeviceEditor(CModDevice &device, const Devices &siblings);

    QString caption() const override;
    bool isNew() const override { return m_device.isNew; }
    QList<SettingsPage *> createPages(QWidget *parent) override;
    void writeBack() override;

    const CModDevice &workingCopy() const { return *m_workingCopy; }

private:
    CModDevice &m_device;
    std::unique_ptr<CModDevice> m_workingCopy;
    NodeNameRule m_nameRule;
};
