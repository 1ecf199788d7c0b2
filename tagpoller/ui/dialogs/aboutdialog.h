#pragma once

#include <QDialog>
#include <QLatin1StringView>

// "About Modbus Driver": the product, its version and whom to contact.
//
// Controls, by object name: titleLabel, versionLabel, contactText, buttonBox.
class AboutDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr QLatin1StringView ProductTitle{"Orvala Modbus Driver"};
    static constexpr QLatin1StringView VersionText{"Version 1.1.0 - A"};

    explicit AboutDialog(QWidget *parent = nullptr);
};
