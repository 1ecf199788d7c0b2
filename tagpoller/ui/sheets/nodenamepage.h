#pragma once

#include "nodenamerule.h"
#include "settingspage.h"

class NameEdit;

// The first page of every sheet: "Channel Identification" or "Device", the
// node's name under the name rule.
class NodeNamePage : public SettingsPage
{
    Q_OBJECT
public:
    enum class Subject { Channel, Device };

    NodeNamePage(Subject subject, QString &name, NodeNameRule rule, QWidget *parent = nullptr);

    void load() override;
    std::optional<FieldError> save() override;

private:
    Subject m_subject;
    QString &m_name;
    NodeNameRule m_rule;
    NameEdit *m_edit;
};
