#include "blocksizespage.h"

#include "blocksizespinbox.h"
#include "cmoddevice.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace {

// Modbus reads at most 2000 coils and 125 registers in one request.
constexpr quint32 MinCoilBlock = 8;
constexpr quint32 MaxCoilBlock = 2000;
constexpr quint32 MinRegisterBlock = 1;
constexpr quint32 MaxRegisterBlock = 125;

} // namespace

BlockSizesPage::BlockSizesPage(CModDevice &device, QWidget *parent)
    : SettingsPage(QStringLiteral("Block Sizes"), parent)
    , m_device(device)
    , m_outputCoils(createCoilSpinBox(QStringLiteral("outputCoilBlock")))
    , m_inputCoils(createCoilSpinBox(QStringLiteral("inputCoilBlock")))
    , m_internalRegisters(createRegisterSpinBox(QStringLiteral("internalRegBlock")))
    , m_holdingRegisters(createRegisterSpinBox(QStringLiteral("holdingRegBlock")))
    , m_blockReadStrings(createCheckBox(QStringLiteral("Perform block read on strings"),
                                        QStringLiteral("blockReadStrings")))
{
    setObjectName(QStringLiteral("blockSizesPage"));
    m_blockReadStrings->hide();

    auto *coils = new QGroupBox(QStringLiteral("Coils (8-2000 in multiples of 8)"), this);
    auto *coilForm = new QFormLayout(coils);
    coilForm->addRow(QStringLiteral("Output:"), m_outputCoils);
    coilForm->addRow(QStringLiteral("Input:"), m_inputCoils);

    auto *registers = new QGroupBox(QStringLiteral("Registers ( 1-125)"), this);
    auto *registerForm = new QFormLayout(registers);
    registerForm->addRow(QStringLiteral("Internal:"), m_internalRegisters);
    registerForm->addRow(QStringLiteral("Holding:"), m_holdingRegisters);

    auto *groups = new QHBoxLayout;
    groups->addWidget(coils);
    groups->addWidget(registers);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(
        QStringLiteral("Specify the maximum block sizes when reading data from this device.")));
    layout->addLayout(groups);
    layout->addWidget(m_blockReadStrings);
    layout->addStretch();
}

// Coil blocks step by 8, so that a multiple of 8 stays one; held down, by 16.
BlockSizeSpinBox *BlockSizesPage::createCoilSpinBox(const QString &objectName)
{
    auto *spinBox = new BlockSizeSpinBox(MinCoilBlock, MaxCoilBlock, {{0, 8}, {2, 16}}, this);
    spinBox->setObjectName(objectName);
    connect(spinBox, &BlockSizeSpinBox::stepped, this, &SettingsPage::changed);
    return spinBox;
}

BlockSizeSpinBox *BlockSizesPage::createRegisterSpinBox(const QString &objectName)
{
    auto *spinBox =
        new BlockSizeSpinBox(MinRegisterBlock, MaxRegisterBlock, {{0, 1}, {2, 2}, {5, 3}}, this);
    spinBox->setObjectName(objectName);
    connect(spinBox, &BlockSizeSpinBox::stepped, this, &SettingsPage::changed);
    return spinBox;
}

void BlockSizesPage::load()
{
    m_outputCoils->showNumber(quint32(m_device.OutputCoilBlock));
    m_inputCoils->showNumber(quint32(m_device.InputCoilBlock));
    m_internalRegisters->showNumber(quint32(m_device.InternalRegBlock));
    m_holdingRegisters->showNumber(quint32(m_device.HoldingRegBlock));
    m_blockReadStrings->setChecked(m_device.BlockReadStrings);
}

std::optional<FieldError> BlockSizesPage::save()
{
    FieldReader reader;
    const auto take = [&reader](BlockSizeSpinBox *spinBox, qint32 &field) {
        reader.unsignedNumber(spinBox, spinBox->text(), field, spinBox->minimum(),
                              spinBox->maximum());
    };
    take(m_outputCoils, m_device.OutputCoilBlock);
    take(m_inputCoils, m_device.InputCoilBlock);
    take(m_internalRegisters, m_device.InternalRegBlock);
    take(m_holdingRegisters, m_device.HoldingRegBlock);
    if (reader.failed())
        return reader.error();
    m_device.BlockReadStrings = m_blockReadStrings->isChecked();
    return std::nullopt;
}
