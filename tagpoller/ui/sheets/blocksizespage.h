#pragma once

#include "settingspage.h"

class BlockSizeSpinBox;
class CModDevice;
class QCheckBox;

// "Block Sizes": the largest coil and register blocks one read asks for.
class BlockSizesPage : public SettingsPage
{
    Q_OBJECT
public:
    explicit BlockSizesPage(CModDevice &device, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    BlockSizeSpinBox *createCoilSpinBox(const QString &objectName);
    BlockSizeSpinBox *createRegisterSpinBox(const QString &objectName);

    CModDevice &m_device;
    BlockSizeSpinBox *m_outputCoils;
    BlockSizeSpinBox *m_inputCoils;
    BlockSizeSpinBox *m_internalRegisters;
    BlockSizeSpinBox *m_holdingRegisters;
    QCheckBox *m_blockReadStrings; // hidden
};
