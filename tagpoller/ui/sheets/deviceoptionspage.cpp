#include "deviceoptionspage.h"

#include "cmoddevice.h"

#include <QCheckBox>
#include <QLabel>
#include <QVBoxLayout>

DeviceOptionsPage::DeviceOptionsPage(const QString &caption, CModDevice &device,
                                     std::vector<Option> options, QWidget *parent)
    : SettingsPage(caption, parent), m_device(device), m_options(std::move(options))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(
        QStringLiteral("The driver can be configured with different settings for each device.")));
    for (const Option &option : m_options) {
        QCheckBox *box = createCheckBox(option.text, option.objectName);
        box->setVisible(!option.hidden);
        layout->addWidget(box);
        m_boxes.push_back(box);
    }
    layout->addStretch();
}

DeviceOptionsPage *DeviceOptionsPage::createDataAccessPage(CModDevice &device, QWidget *parent)
{
    auto *page = new DeviceOptionsPage(
        QStringLiteral("Data Access Settings"), device,
        {
            {QStringLiteral("Use zero based addressing"), &CModDevice::ZeroBasedAddr,
             QStringLiteral("zeroBasedAddr")},
            {QStringLiteral("Use zero based bit addressing within registers"),
             &CModDevice::ZeroBasedBitAddr, QStringLiteral("zeroBasedBitAddr")},
            {QStringLiteral("Use holding register bit mask writes"),
             &CModDevice::HoldingBitMaskWrites, QStringLiteral("holdingBitMaskWrites")},
            {QStringLiteral("Use Modbus function 06 for single register writes"),
             &CModDevice::UseFunc06, QStringLiteral("useFunc06"), true},
            {QStringLiteral("Use Modbus function 05 for single coil writes"),
             &CModDevice::UseFunc05, QStringLiteral("useFunc05"), true},
        },
        parent);
    page->setObjectName(QStringLiteral("dataAccessPage"));
    return page;
}

DeviceOptionsPage *DeviceOptionsPage::createDataEncodingPage(CModDevice &device, QWidget *parent)
{
    auto *page = new DeviceOptionsPage(
        QStringLiteral("Data Encoding Settings"), device,
        {
            {QStringLiteral("Use default Modbus byte order"), &CModDevice::DefaultByteOrder,
             QStringLiteral("defaultByteOrder")},
            {QStringLiteral("First word low in 32 bit data types"), &CModDevice::FirstWordLow,
             QStringLiteral("firstWordLow")},
            {QStringLiteral("First Dword low in 64 bit data types"), &CModDevice::FirstDwordLow,
             QStringLiteral("firstDwordLow")},
            {QStringLiteral("Use Modicon bit ordering ( bit 0 is MSB )"),
             &CModDevice::ModiconBitOrder, QStringLiteral("modiconBitOrder")},
        },
        parent);
    page->setObjectName(QStringLiteral("dataEncodingPage"));
    return page;
}

void DeviceOptionsPage::load()
{
    for (size_t i = 0; i < m_options.size(); ++i)
        m_boxes[i]->setChecked(m_device.*(m_options[i].flag));
}

std::optional<FieldError> DeviceOptionsPage::save()
{
    for (size_t i = 0; i < m_options.size(); ++i)
        m_device.*(m_options[i].flag) = m_boxes[i]->isChecked();
    return std::nullopt;
}
