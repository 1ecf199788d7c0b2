#include "deviceeditor.h"

#include "blocksizespage.h"
#include "devicedemotionpage.h"
#include "deviceidpage.h"
#include "deviceoptionspage.h"
#include "nodenamepage.h"
#include "nodesettings.h"

DeviceEditor::DeviceEditor(CModDevice &device, const Devices &siblings)
    : m_device(device)
    , m_workingCopy(NodeSettings::workingCopy(device))
    , m_nameRule(NodeNameRule::deviceMessages(), NodeNameRule::namesOfOthers(siblings, &device))
{}

QString DeviceEditor::caption() const
{
    return dynamic_cast<const CModTCPDev *>(&m_device) ? QStringLiteral("TCP Device Properties")
                                                       : QStringLiteral("RTU Device Properties");
}

QList<SettingsPage *> DeviceEditor::createPages(QWidget *parent)
{
    QList<SettingsPage *> pages;
    pages << new NodeNamePage(NodeNamePage::Subject::Device, m_workingCopy->name, m_nameRule,
                              parent);
    if (auto *tcpDevice = dynamic_cast<CModTCPDev *>(m_workingCopy.get()))
        pages << new DeviceIdPage(*tcpDevice, parent);
    else
        pages << new DeviceIdPage(static_cast<CModRTUDev &>(*m_workingCopy), parent);
    pages << new DeviceDemotionPage(*m_workingCopy, parent);
    pages << DeviceOptionsPage::createDataAccessPage(*m_workingCopy, parent);
    pages << DeviceOptionsPage::createDataEncodingPage(*m_workingCopy, parent);
    pages << new BlockSizesPage(*m_workingCopy, parent);
    return pages;
}

void DeviceEditor::writeBack()
{
    NodeSettings::copy(*m_workingCopy, m_device);
    m_device.isNew = false;
}
