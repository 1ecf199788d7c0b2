#pragma once

#include "settingspage.h"

class CModRTUChnl;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLineEdit;

// "Channel Communications" of an RTU channel: the serial settings, kept as
// positions in the lists shown here.
class ChannelCommunicationsPage : public SettingsPage
{
    Q_OBJECT
public:
    explicit ChannelCommunicationsPage(CModRTUChnl &channel, QWidget *parent = nullptr);

    // The texts of the lists, in the order whose positions are stored.
    static QStringList comPortItems();
    static QStringList baudRateItems();
    static QStringList dataBitsItems();
    static QStringList parityItems();
    static QStringList flowControlItems();

    void load() override;
    std::optional<FieldError> save() override;

private:
    CModRTUChnl &m_channel;
    QComboBox *m_comPort;
    QComboBox *m_baudRate;
    QComboBox *m_dataBits;
    QComboBox *m_parity;
    QButtonGroup *m_stopBits;
    QComboBox *m_flowControl;
    QLineEdit *m_connectTimeout;
    QCheckBox *m_reportCommErrors;      // hidden
    QCheckBox *m_ethernetEncapsulation; // hidden
};
