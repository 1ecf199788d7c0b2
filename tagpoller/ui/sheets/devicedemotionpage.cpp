#include "devicedemotionpage.h"

#include "cmoddevice.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

DeviceDemotionPage::DeviceDemotionPage(CModDevice &device, QWidget *parent)
    : SettingsPage(QStringLiteral("Device Demotion"), parent)
    , m_device(device)
    , m_autoDemote(
          createCheckBox(QStringLiteral("Enable auto device demotion on communication failures."),
                         QStringLiteral("autoDemote")))
    , m_demoteAfter(createDigitsEdit(QStringLiteral("demoteAfter")))
    , m_demoteFor(createDigitsEdit(QStringLiteral("demoteFor")))
    , m_discardWrites(
          createCheckBox(QStringLiteral("Discard write requests during the demotion period"),
                         QStringLiteral("discardWritesWhileDemoted")))
{
    setObjectName(QStringLiteral("deviceDemotionPage"));

    auto *grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Demote after"), this), 0, 0);
    grid->addWidget(m_demoteAfter, 0, 1);
    grid->addWidget(
        new QLabel(QStringLiteral("successive failures. \n(Valid values  1- 30)"), this), 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("Demote for"), this), 1, 0);
    grid->addWidget(m_demoteFor, 1, 1);
    grid->addWidget(
        new QLabel(QStringLiteral("milli seconds \n(Valid values 100 - 3600,000)"), this), 1, 2);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(QStringLiteral(
        "You can demote a device for a specific period upon communications failures. During "
        "this time no read or write request/s will be sent to the device. Demoting a failed "
        "device will prevent stalling communications with other devices on the channel.")));
    layout->addWidget(m_autoDemote);
    layout->addLayout(grid);
    layout->addWidget(m_discardWrites);
    layout->addStretch();
}

void DeviceDemotionPage::load()
{
    m_autoDemote->setChecked(m_device.AutoDemote);
    m_demoteAfter->setText(QString::number(m_device.DemoteAfter));
    m_demoteFor->setText(FieldReader::unsignedText(m_device.DemoteFor));
    m_discardWrites->setChecked(m_device.DiscardWritesWhileDemoted);
}

std::optional<FieldError> DeviceDemotionPage::save()
{
    m_device.AutoDemote = m_autoDemote->isChecked();
    FieldReader reader;
    reader.byteNumber(m_demoteAfter, m_device.DemoteAfter, 1, 30);
    reader.unsignedNumber(m_demoteFor, m_device.DemoteFor, 100, 3600000);
    if (reader.failed())
        return reader.error();
    m_device.DiscardWritesWhileDemoted = m_discardWrites->isChecked();
    return std::nullopt;
}
