#include "channeloptimizationspage.h"

#include "cmodchnl.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

ChannelOptimizationsPage::ChannelOptimizationsPage(CModChnl &channel, QWidget *parent)
    : SettingsPage(QStringLiteral("Channel Optimizations"), parent)
    , m_channel(channel)
    , m_writeOptimization(createRadioButtons(
          {QStringLiteral("Write all values for all tags"),
           QStringLiteral("Write only latest value for non-boolean tags"),
           QStringLiteral("Write only latest value for all tags")},
          {QStringLiteral("writeAllValues"), QStringLiteral("writeLatestNonBoolean"),
           QStringLiteral("writeLatestAll")}))
    , m_dutyCycle(createDigitsEdit(QStringLiteral("dutyCycle")))
{
    setObjectName(QStringLiteral("channelOptimizationsPage"));

    auto *method = new QGroupBox(QStringLiteral("Optimization Method"), this);
    auto *methodLayout = new QVBoxLayout(method);
    for (QAbstractButton *button : m_writeOptimization->buttons())
        methodLayout->addWidget(button);

    auto *dutyCycle = new QHBoxLayout;
    dutyCycle->addWidget(new QLabel(QStringLiteral("Perform"), this));
    dutyCycle->addWidget(m_dutyCycle);
    dutyCycle->addWidget(new QLabel(QStringLiteral("writes for every 1 read"), this));
    dutyCycle->addWidget(new QLabel(QStringLiteral("(Valid values 1 to 10 )"), this));
    dutyCycle->addStretch();

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(createStaticText(
        QStringLiteral("You can control how the server processes writes on this channel. Set the "
                       "optimization method and write-to-read duty cycle below. \n\nNote: "
                       "Writing only the latest value can affect batch processing or the "
                       "equivalent.")));
    layout->addWidget(method);
    layout->addLayout(dutyCycle);
    layout->addStretch();
}

void ChannelOptimizationsPage::load()
{
    showCheckedId(m_writeOptimization, m_channel.WriteOptimization);
    m_dutyCycle->setText(QString::number(m_channel.DutyCycle));
}

std::optional<FieldError> ChannelOptimizationsPage::save()
{
    takeCheckedId(m_writeOptimization, m_channel.WriteOptimization);
    FieldReader reader;
    reader.byteNumber(m_dutyCycle, m_channel.DutyCycle, 1, 10);
    return reader.error();
}
