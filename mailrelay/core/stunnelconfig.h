#pragma once

#include "mailprovider.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QString>

// The configuration of the local SSL proxy: stunnel in client mode, one
// service per provider listening on 127.0.0.1 at the provider's proxy port and
// connecting with TLS to its SMTP server, verifying the server's chain against
// the CA file and its name against the SMTP host (its address, when the host
// is given as one). Nothing secret goes into it.
struct StunnelService
{
    QString name; // "gmail", "yahoo"
    int acceptPort = 0;
    QString smtpHost;
    int smtpPort = 0;
};

struct StunnelConfig
{
    QList<StunnelService> services;
    QString caFile;            // the CA bundle to verify against
    QString clientCertificate; // stunnel.pem of the proxy folder, if present

    QByteArray text() const;
};

// The system's CA bundle (Debian's ca-certificates).
inline constexpr char SystemCaBundle[] = "/etc/ssl/certs/ca-certificates.crt";
