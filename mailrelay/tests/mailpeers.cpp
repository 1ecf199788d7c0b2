#include "mailpeers.h"

#include "stunnelsupervisor.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTcpServer>
#include <QThread>

namespace mailtest {

bool waitFor(const std::function<bool()> &condition, std::chrono::milliseconds deadline)
{
    QDeadlineTimer timer(deadline);
    while (!condition()) {
        if (timer.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

int freePort()
{
    QTcpServer server;
    if (!server.listen(QHostAddress::LocalHost, 0))
        return 0;
    return server.serverPort();
}

namespace {

bool runOpenssl(const QString &folder, const QStringList &arguments)
{
    QProcess p;
    p.setWorkingDirectory(folder);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("openssl"), arguments);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        qWarning().noquote() << "openssl" << arguments.join(u' ') << "failed:" << p.readAll();
        return false;
    }
    return true;
}

} // namespace

ThrowawayCa::ThrowawayCa(const QString &folder, const QString &subjectAltName) : m_folder(folder)
{
    const QString ext = QStringLiteral("subjectAltName=") + subjectAltName;
    QFile extFile(QDir(folder).filePath(QStringLiteral("san.ext")));
    extFile.open(QIODevice::WriteOnly);
    extFile.write(ext.toUtf8() + '\n');
    extFile.close();
    m_ok = runOpenssl(folder,
                      {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                       QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                       QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                       QStringLiteral("-keyout"), QStringLiteral("ca.key"), QStringLiteral("-out"),
                       QStringLiteral("ca.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                       QStringLiteral("-subj"), QStringLiteral("/CN=Orvala Test CA")}) &&
           runOpenssl(folder, {QStringLiteral("req"), QStringLiteral("-newkey"),
                               QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                               QStringLiteral("ec_paramgen_curve:P-256"), QStringLiteral("-nodes"),
                               QStringLiteral("-keyout"), QStringLiteral("server.key"),
                               QStringLiteral("-out"), QStringLiteral("server.csr"),
                               QStringLiteral("-subj"), QStringLiteral("/CN=sink.test")}) &&
           runOpenssl(folder,
                      {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                       QStringLiteral("server.csr"), QStringLiteral("-CA"),
                       QStringLiteral("ca.pem"), QStringLiteral("-CAkey"), QStringLiteral("ca.key"),
                       QStringLiteral("-CAcreateserial"), QStringLiteral("-out"),
                       QStringLiteral("server.pem"), QStringLiteral("-days"), QStringLiteral("2"),
                       QStringLiteral("-extfile"), QStringLiteral("san.ext")});
}

QString ThrowawayCa::caFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("ca.pem"));
}

QString ThrowawayCa::certFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("server.pem"));
}

QString ThrowawayCa::keyFile() const
{
    return QDir(m_folder).filePath(QStringLiteral("server.key"));
}

SmtpSink::SmtpSink(const QString &user, const QString &password)
{
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral("/usr/bin/python3"),
                    {QStringLiteral(ORVALA_SMTP_SINK), m_folder.path(), user, password});
    if (!m_process.waitForStarted(10000))
        return;
    if (!waitFor(
            [this] { return m_process.canReadLine() || m_process.state() != QProcess::Running; },
            std::chrono::seconds(60)))
        return;
    m_port = m_process.readLine().trimmed().toInt();
}

SmtpSink::~SmtpSink()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000))
        m_process.kill();
    m_process.waitForFinished(2000);
}

QList<QJsonObject> SmtpSink::received() const
{
    QList<QJsonObject> result;
    QDir dir(m_folder.path());
    for (const QString &name : dir.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::ReadOnly);
        result << QJsonDocument::fromJson(f.readAll()).object();
    }
    return result;
}

int SmtpSink::receivedCount() const
{
    return int(QDir(m_folder.path()).entryList({QStringLiteral("*.json")}, QDir::Files).size());
}

QByteArray SmtpSink::rawMessage(int index) const
{
    QFile f(QDir(m_folder.path())
                .filePath(QStringLiteral("%1.eml").arg(index + 1, 4, 10, QLatin1Char('0'))));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

ServerStunnel::ServerStunnel(const ThrowawayCa &ca, int acceptPort, int connectPort)
    : m_acceptPort(acceptPort)
{
    QFile conf(m_folder.filePath(QStringLiteral("server.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write(QStringLiteral("foreground = yes\npid =\nsyslog = no\ndebug = notice\n"
                              "[sink]\naccept = 127.0.0.1:%1\nconnect = 127.0.0.1:%2\n"
                              "cert = %3\nkey = %4\n")
                   .arg(acceptPort)
                   .arg(connectPort)
                   .arg(ca.certFile(), ca.keyFile())
                   .toUtf8());
    conf.close();
    m_process.setProcessChannelMode(QProcess::MergedChannels);
}

ServerStunnel::~ServerStunnel()
{
    kill();
}

bool ServerStunnel::start()
{
    m_process.start(QStringLiteral("stunnel4"), {m_folder.filePath(QStringLiteral("server.conf"))});
    if (!m_process.waitForStarted(10000))
        return false;
    return waitFor([this] {
               return StunnelSupervisor::isListening(m_acceptPort) ||
                      m_process.state() != QProcess::Running;
           }) &&
           m_process.state() == QProcess::Running;
}

void ServerStunnel::kill()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.kill(); // SIGKILL by its process id: the peer vanishes
    m_process.waitForFinished(5000);
}

bool contains(const QByteArray &haystack, const QString &needle)
{
    return haystack.contains(needle.toUtf8());
}

} // namespace mailtest
