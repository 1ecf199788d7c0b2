#pragma once

#include "settingspage.h"

class CModChnl;
class QButtonGroup;
class QLineEdit;

// "Channel Optimizations" of both channel kinds: how writes are queued, and
// how many writes go out for every read.
class ChannelOptimizationsPage : public SettingsPage
{
    Q_OBJECT
public:
    explicit ChannelOptimizationsPage(CModChnl &channel, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    CModChnl &m_channel;
    QButtonGroup *m_writeOptimization;
    QLineEdit *m_dutyCycle;
};
