#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>

// Real peers for the relay's tests, all on 127.0.0.1 and stopped by process
// id: a throwaway CA made with openssl, an aiosmtpd sink and a server-mode
// stunnel in front of it.
namespace mailtest {

// Waits for `condition` with a generous deadline, serving the event loop.
bool waitFor(const std::function<bool()> &condition,
             std::chrono::milliseconds deadline = std::chrono::seconds(60));

// A port nobody listens on right now.
int freePort();

// A CA and a server certificate it signed, for `serverIp` (subjectAltName).
class ThrowawayCa
{
public:
    // `subjectAltName` as openssl takes it, e.g. "IP:127.0.0.1".
    explicit ThrowawayCa(const QString &folder,
                         const QString &subjectAltName = QStringLiteral("IP:127.0.0.1"));
    bool ok() const { return m_ok; }
    QString caFile() const;
    QString certFile() const;
    QString keyFile() const;

private:
    QString m_folder;
    bool m_ok = false;
};

class SmtpSink
{
public:
    SmtpSink(const QString &user, const QString &password);
    ~SmtpSink();
    bool ok() const { return m_port > 0; }
    int port() const { return m_port; }
    QString folder() const { return m_folder.path(); }
    // The messages received so far, parsed by Python's email package.
    QList<QJsonObject> received() const;
    int receivedCount() const;
    QByteArray rawMessage(int index) const; // 0-based

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_port = 0;
};

// stunnel in server mode: TLS on `acceptPort`, plain to `connectPort`.
class ServerStunnel
{
public:
    ServerStunnel(const ThrowawayCa &ca, int acceptPort, int connectPort);
    ~ServerStunnel();
    bool start();
    void kill();
    bool ok() const { return m_process.state() == QProcess::Running; }
    int port() const { return m_acceptPort; }

private:
    QTemporaryDir m_folder;
    QProcess m_process;
    int m_acceptPort;
};

// Everything a process wrote on a channel, for the secret scans.
bool contains(const QByteArray &haystack, const QString &needle);

} // namespace mailtest
