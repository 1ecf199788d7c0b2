#include "stunnelsupervisor.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMetaObject>
#include <QSaveFile>
#include <QStandardPaths>
#include <QThread>

#include <future>

#include <csignal>
#include <sys/prctl.h>

Q_LOGGING_CATEGORY(mailProxyLog, "mailrelay.proxy")

StunnelSupervisor::StunnelSupervisor(QString proxyFolder, QList<StunnelService> services,
                                     QString caFile, QObject *parent)
    : QObject(parent)
    , m_proxyFolder(std::move(proxyFolder))
    , m_services(std::move(services))
    , m_caFile(caFile.isEmpty() ? QString::fromLatin1(SystemCaBundle) : std::move(caFile))
{}

StunnelSupervisor::~StunnelSupervisor()
{
    stop();
}

QString StunnelSupervisor::findProgram() const
{
    for (const char *name : {"stunnel", "stunnel4"}) {
        const QFileInfo inFolder(QDir(m_proxyFolder).filePath(QLatin1StringView(name)));
        if (inFolder.isFile() && inFolder.isExecutable())
            return inFolder.absoluteFilePath();
    }
    for (const char *name : {"stunnel4", "stunnel"}) {
        const QString onPath = QStandardPaths::findExecutable(QLatin1StringView(name));
        if (!onPath.isEmpty())
            return onPath;
    }
    return QString();
}

int StunnelSupervisor::setUp()
{
    stop();
    if (m_shutDown)
        return StartFailed;
    const QString program = findProgram();
    if (program.isEmpty()) {
        qCWarning(mailProxyLog) << "no stunnel program in" << m_proxyFolder << "or on PATH";
        return ProgramNotFound;
    }
    if (!QFileInfo(m_caFile).isReadable()) {
        qCWarning(mailProxyLog) << "the CA file" << m_caFile << "cannot be read";
        return CaFileMissing;
    }
    // QTemporaryDir makes the folder 0700: the configuration and stunnel's
    // files are this user's alone.
    m_folder = std::make_unique<QTemporaryDir>(QDir::tempPath() +
                                               QStringLiteral("/orvala-mailrelay-XXXXXX"));
    if (!m_folder->isValid()) {
        qCWarning(mailProxyLog) << "cannot make the proxy folder:" << m_folder->errorString();
        m_folder.reset();
        return FolderNotWritable;
    }
    StunnelConfig config{m_services, m_caFile, QString()};
    const QString certificate = QDir(m_proxyFolder).filePath(QStringLiteral("stunnel.pem"));
    if (QFileInfo(certificate).isReadable())
        config.clientCertificate = certificate;
    QSaveFile file(configPath());
    if (!file.open(QIODevice::WriteOnly) || file.write(config.text()) < 0 || !file.commit()) {
        qCWarning(mailProxyLog) << "cannot write" << configPath();
        return FolderNotWritable;
    }

    m_process = std::make_unique<QProcess>();
    m_process->setProgram(program);
    m_process->setArguments({configPath()});
    m_process->setWorkingDirectory(m_folder->path());
    m_process->setProcessChannelMode(QProcess::MergedChannels);
    // stunnel ends with the relay even when the relay is killed.
    m_process->setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
    QProcess *process = m_process.get();
    connect(process, &QProcess::readyReadStandardOutput, this, [process] {
        while (process->canReadLine())
            qCInfo(mailProxyLog).noquote() << QString::fromUtf8(process->readLine()).trimmed();
    });
    m_process->start();
    if (!m_process->waitForStarted(5000)) {
        qCWarning(mailProxyLog) << "cannot start" << program << ":" << m_process->errorString();
        m_process.reset();
        return StartFailed;
    }
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        bool all = true;
        for (const StunnelService &s : m_services)
            all = all && isListening(s.acceptPort);
        if (all && m_process->state() == QProcess::Running)
            break;
        if (m_process->state() != QProcess::Running || m_process->waitForFinished(50)) {
            qCWarning(mailProxyLog).noquote()
                << "stunnel ended at start:" << QString::fromUtf8(m_process->readAll()).trimmed();
            m_process.reset();
            return StartFailed;
        }
        if (waited.elapsed() > ListenDeadline.count()) {
            qCWarning(mailProxyLog) << "stunnel does not listen on its ports";
            stop();
            return PortsNotListening;
        }
    }
    qCInfo(mailProxyLog) << "stunnel" << m_process->processId() << "ready";
    return 1;
}

bool StunnelSupervisor::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void StunnelSupervisor::stop()
{
    if (m_process) {
        if (m_process->state() != QProcess::NotRunning) {
            m_process->terminate(); // SIGTERM to its process id
            if (!m_process->waitForFinished(5000)) {
                m_process->kill();
                m_process->waitForFinished(2000);
            }
        }
        m_process.reset();
    }
    m_folder.reset();
}

void StunnelSupervisor::shutDown()
{
    m_shutDown = true;
    stop();
}

qint64 StunnelSupervisor::processId() const
{
    return m_process ? m_process->processId() : 0;
}

QString StunnelSupervisor::configPath() const
{
    return m_folder ? m_folder->filePath(QStringLiteral("stunnel.conf")) : QString();
}

bool StunnelSupervisor::isListening(int port)
{
    QFile table(QStringLiteral("/proc/net/tcp"));
    if (!table.open(QIODevice::ReadOnly | QIODevice::Text))
        return false;
    const QByteArray wanted =
        "0100007F:" + QByteArray::number(port, 16).toUpper().rightJustified(4, '0');
    table.readLine(); // the column titles
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine().simplified().split(' ');
        // sl local_address rem_address st ...; 0A is LISTEN
        if (fields.size() > 3 && fields[1] == wanted && fields[3] == "0A")
            return true;
    }
    return false;
}

template<class F>
auto ProxyFromSenderThread::callOnOwnerThread(F function, decltype(function()) whenCancelled)
{
    using Result = decltype(function());
    if (QThread::currentThread() == m_supervisor.thread())
        return function();
    auto promise = std::make_shared<std::promise<Result>>();
    std::future<Result> future = promise->get_future();
    QMetaObject::invokeMethod(
        &m_supervisor, [promise, function] { promise->set_value(function()); },
        Qt::QueuedConnection);
    while (future.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        if (m_cancel.load())
            return whenCancelled;
    }
    return future.get();
}

int ProxyFromSenderThread::setUp()
{
    StunnelSupervisor *supervisor = &m_supervisor;
    return callOnOwnerThread([supervisor] { return supervisor->setUp(); },
                             int(StunnelSupervisor::StartFailed));
}

bool ProxyFromSenderThread::isRunning()
{
    StunnelSupervisor *supervisor = &m_supervisor;
    return callOnOwnerThread([supervisor] { return supervisor->isRunning(); }, false);
}
