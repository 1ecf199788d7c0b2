#include "driversession.h"

#include "childprogram.h"

#include "datatypes.h"
#include "hostpayload.h"
#include "hostrecords.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <unistd.h>

using namespace std::chrono_literals;

namespace hostrun {

namespace {

// The driver's copy-data codes and replies.
constexpr quint64 ItemRequestCode = 200;
constexpr quint64 ValueDeliveryCode = 300;
constexpr quint64 WriteRequestCode = 700;
constexpr qint64 DeliveryAcknowledged = 100;
constexpr qint64 ItemRequestAccepted = 500;
constexpr qint64 NoItemFound = 510;
constexpr qint64 NotRunningYet = 520;
constexpr qint64 WriteTaken = 600;
constexpr quint32 StopRequestMessage = hostmsg::WM_USER + 102;

// The driver refuses item requests until its project runs; asking again at
// this pace costs nothing and loses little time.
constexpr auto RequestInterval = 250ms;
// How soon a driver that closed by itself is noticed.
constexpr auto WatchInterval = 500ms;
// A driver releases its engines over two run-loop ticks and then closes; this
// is ample even for a sanitized build on a busy machine.
constexpr auto StopPatience = 15s;
constexpr auto TerminatePatience = 5s;
constexpr auto StopPollInterval = 100ms;

void printLine(std::FILE *stream, const QString &line)
{
    std::fputs(line.toLocal8Bit().append('\n').constData(), stream);
    std::fflush(stream);
}

void printNote(const QString &text)
{
    printLine(stderr, QStringLiteral("hostrun: ") + text);
}

QString seconds(std::chrono::milliseconds duration)
{
    return QString::number(double(duration.count()) / 1000.0);
}

// The driver built with this hostrun lies in the build tree beside it; an
// installed one is found on PATH.
QString defaultDriverProgram()
{
    const QString besideHostrun = QDir::cleanPath(QCoreApplication::applicationDirPath() +
                                                  QStringLiteral("/../tagpoller/tagpoller"));
    const QFileInfo info(besideHostrun);
    if (info.isFile() && info.isExecutable())
        return besideHostrun;
    return QStandardPaths::findExecutable(QStringLiteral("tagpoller"));
}

// Names from --items-file: one per line; blank lines and lines starting with
// "#" are skipped.
bool readItemsFile(const QString &path, QStringList *items)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        printNote(QStringLiteral("cannot read %1: %2").arg(path, file.errorString()));
        return false;
    }
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.isEmpty() && !line.startsWith(QLatin1Char('#')))
            items->append(line);
    }
    return true;
}

} // namespace

const QString DriverSession::DriverTitle = QStringLiteral("Orvala Modbus Driver (Beta)");

int runDriverCommand(const Command &command)
{
    QStringList items = command.driver.items;
    if (!command.driver.itemsFile.isEmpty() && !readItemsFile(command.driver.itemsFile, &items))
        return 1;
    if (items.isEmpty()) {
        printNote(QStringLiteral("%1 names no items").arg(command.driver.itemsFile));
        return 2;
    }
    // A write to an item that is not requested can never be sent: a mistake
    // on the command line, found before any driver is started.
    for (const ItemWrite &write : command.driver.writes) {
        if (!items.contains(write.item)) {
            printNote(
                QStringLiteral("--write: %1 is not one of the requested items").arg(write.item));
            return 2;
        }
    }

    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        printNote(desktop.errorString());
        return 1;
    }
    DriverSession session(command, items, desktop);
    if (!session.start())
        return session.exitCode();
    QCoreApplication::exec();
    return session.exitCode();
}

DriverSession::DriverSession(const Command &command, QStringList items, hostmsg::Desktop &desktop)
    : m_command(command)
    , m_items(std::move(items))
    , m_desktop(desktop)
    , m_format(command.driver.json ? ValueLineFormat::Json : ValueLineFormat::Text)
{
    // The driver keeps the last id of a tag named twice; so do the writes.
    for (qsizetype i = 0; i < m_items.size(); ++i)
        m_idOfItem.insert(m_items.at(i), qint32(i + 1));

    m_requestTimer.setInterval(RequestInterval);
    connect(&m_requestTimer, &QTimer::timeout, this, &DriverSession::requestItems);
    m_durationTimer.setSingleShot(true);
    connect(&m_durationTimer, &QTimer::timeout, this, [this] { finish(0); });
    m_watchTimer.setInterval(WatchInterval);
    connect(&m_watchTimer, &QTimer::timeout, this, &DriverSession::watchDriverWindow);
    m_stopTimer.setInterval(StopPollInterval);
    connect(&m_stopTimer, &QTimer::timeout, this, &DriverSession::waitForDriverToGo);
}

DriverSession::~DriverSession()
{
    // A driver still running here is killed by its QProcess; its end is no
    // longer news.
    if (m_process)
        m_process->disconnect(this);
}

bool DriverSession::start()
{
    // Before the window exists, so that no stop request can leave its files behind.
    if (m_watchSignals) {
        m_signals = std::make_unique<TerminationSignals>();
        if (!m_signals->isActive()) {
            fail(QStringLiteral("cannot watch for SIGINT and SIGTERM"));
            return false;
        }
        connect(m_signals.get(), &TerminationSignals::received, this, [this](int signalNumber) {
            if (m_phase != Phase::Requesting && m_phase != Phase::Running)
                return;
            printNote(QStringLiteral("stopping on signal %1").arg(signalNumber));
            finish(0);
        });
    }

    m_window = m_desktop.createWindow(
        QStringLiteral("hostrun driver %1").arg(QCoreApplication::applicationPid()));
    if (!m_window) {
        fail(m_desktop.errorString());
        return false;
    }
    m_window->setHandler([this](const hostmsg::Message &message) { return onMessage(message); });

    m_driverWindow = m_desktop.findWindow(DriverTitle);
    if (m_driverWindow != 0) {
        printNote(QStringLiteral("found the driver running (window %1)").arg(m_driverWindow));
    } else if (!launchDriver()) {
        return false;
    }

    m_requestDeadline = QDeadlineTimer(m_command.timeout);
    m_requestTimer.start();
    // The first request goes out from the event loop, where the session can end.
    QMetaObject::invokeMethod(this, &DriverSession::requestItems, Qt::QueuedConnection);
    return true;
}

bool DriverSession::launchDriver()
{
    const QString program =
        m_command.driver.program.isEmpty() ? defaultDriverProgram() : m_command.driver.program;
    if (program.isEmpty()) {
        fail(QStringLiteral("no tagpoller beside hostrun or on PATH; name it with --program"));
        return false;
    }
    m_process = makeChildProgram(program, {QStringLiteral("OPEN_LAST")});
    m_process->start();
    if (!m_process->waitForStarted()) {
        fail(QStringLiteral("cannot start %1: %2").arg(program, m_process->errorString()));
        m_process.reset();
        return false;
    }
    connect(m_process.get(), &QProcess::finished, this, &DriverSession::onDriverProcessFinished);
    printNote(
        QStringLiteral("started %1 OPEN_LAST (pid %2)").arg(program).arg(m_process->processId()));
    return true;
}

void DriverSession::requestItems()
{
    if (m_phase != Phase::Requesting)
        return;
    if (m_requestDeadline.hasExpired()) {
        const QString waited = seconds(m_command.timeout);
        if (m_driverWindow == 0)
            fail(QStringLiteral("no window titled \"%1\" within %2 s").arg(DriverTitle, waited));
        else if (m_lastRequestReply == NotRunningYet)
            fail(QStringLiteral("the driver still refused the items after %1 s (520: it was not "
                                "launched by a host runtime, or its project does not run)")
                     .arg(waited));
        else
            fail(QStringLiteral("the driver did not answer the item request within %1 s")
                     .arg(waited));
        finish(1);
        return;
    }
    if (m_driverWindow == 0) {
        m_driverWindow = m_desktop.findWindow(DriverTitle);
        if (m_driverWindow == 0)
            return; // not up yet
    }

    CAryReqTags request;
    for (qsizetype i = 0; i < m_items.size(); ++i)
        request.items.push_back(std::make_shared<CReqTag>(qint32(i + 1), m_items.at(i)));
    const qint64 reply =
        m_desktop.sendMessage(m_driverWindow, hostmsg::WM_COPYDATA, m_window->handle(), 0,
                              ItemRequestCode, HostPayload::encodeItemRequest(request));
    m_lastRequestReply = reply;
    // Both answers come from a driver in run mode only.
    m_driverRuns = reply == ItemRequestAccepted || reply == NoItemFound;
    switch (reply) {
    case ItemRequestAccepted:
        onAccepted();
        return;
    case NotRunningYet:
        return; // asked again on the next round
    case NoItemFound:
        fail(QStringLiteral("the driver found none of the %1 requested items (510); its event "
                            "messages name each one it did not find")
                 .arg(m_items.size()));
        finish(1);
        return;
    case 0:
        // No answer: a window that went away is looked up again (a driver
        // that ended for good is noticed by its process or the deadline).
        if (m_desktop.findWindow(DriverTitle) != m_driverWindow)
            m_driverWindow = 0;
        return;
    default:
        fail(QStringLiteral("the driver answered the item request with %1").arg(reply));
        finish(1);
        return;
    }
}

void DriverSession::onAccepted()
{
    m_phase = Phase::Running;
    m_requestTimer.stop();
    printNote(
        QStringLiteral("the driver accepted the item request (%1 requested)").arg(m_items.size()));
    if (m_command.driver.duration)
        m_durationTimer.start(*m_command.driver.duration);
    m_watchTimer.start();
}

qint64 DriverSession::onMessage(const hostmsg::Message &message)
{
    if (message.msg != hostmsg::WM_COPYDATA || message.dwData != ValueDeliveryCode)
        return 0;
    // Any other answer would end the driver's link and close it, so even a
    // delivery that cannot be read, or one that comes while stopping, is
    // acknowledged.
    CAryTxnTags values;
    const ArchiveStatus status = HostPayload::decodeTagValues(message.payload, values);
    if (!status.ok()) {
        printNote(QStringLiteral("cannot read a delivery: %1").arg(describeArchiveStatus(status)));
        return DeliveryAcknowledged;
    }
    if (m_phase != Phase::Requesting && m_phase != Phase::Running)
        return DeliveryAcknowledged;
    if (!m_firstValuesSeen) {
        m_firstValuesSeen = true;
        QMetaObject::invokeMethod(this, &DriverSession::onFirstValues, Qt::QueuedConnection);
    }

    if (m_deliveryHandler) {
        QList<DeliveredValue> delivered;
        delivered.reserve(qsizetype(values.entries.size()));
        for (const auto &entry : values.entries) {
            if (entry->requestId < 1 || entry->requestId > m_items.size()) {
                printNote(
                    QStringLiteral("a value came for request id %1, which was never requested")
                        .arg(entry->requestId));
                continue;
            }
            delivered.append({m_items.at(entry->requestId - 1), entry->value, entry->inError});
        }
        m_deliveryHandler(delivered);
        return DeliveryAcknowledged;
    }

    const int limit = m_command.count;
    QByteArray lines;
    for (const auto &entry : values.entries) {
        m_lastTypeOfId.insert(entry->requestId, entry->value.type());
        if (limit > 0 && m_printed >= limit)
            continue;
        if (entry->requestId < 1 || entry->requestId > m_items.size()) {
            printNote(QStringLiteral("a value came for request id %1, which was never requested")
                          .arg(entry->requestId));
            continue;
        }
        lines += formatValueLine(m_format, entry->requestId, m_items.at(entry->requestId - 1),
                                 entry->value, entry->inError)
                     .toLocal8Bit();
        lines += '\n';
        if (++m_printed == limit)
            QMetaObject::invokeMethod(
                this, [this] { finish(0); }, Qt::QueuedConnection);
    }
    // A reader of a pipe sees each delivery as it comes, from the output's own
    // thread: the driver has its answer at once however slowly it is read.
    m_output.write(std::move(lines));
    return DeliveryAcknowledged;
}

void DriverSession::onFirstValues()
{
    if (m_phase != Phase::Running)
        return;
    for (const ItemWrite &write : m_command.driver.writes)
        sendWrite(write);
    if (m_command.driver.stdinWrites && m_phase == Phase::Running) {
        m_input = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
        connect(m_input.get(), &QSocketNotifier::activated, this,
                &DriverSession::readStandardInput);
    }
}

void DriverSession::sendWrite(const ItemWrite &write)
{
    const qint32 requestId = m_idOfItem.value(write.item, 0);
    if (requestId == 0) {
        fail(QStringLiteral("cannot write %1: it is not one of the requested items")
                 .arg(write.item));
        ++m_failedWrites;
        return;
    }
    int type = DataTypeCode::Long;
    if (write.type) {
        type = *write.type;
    } else if (const int latest = m_lastTypeOfId.value(requestId, DataTypeCode::Long);
               latest >= DataTypeCode::Boolean && latest <= DataTypeCode::Double) {
        type = latest;
    }
    const ConvertedValue converted = convertValue(write.valueText, type);
    if (!converted.value) {
        fail(QStringLiteral("cannot write %1: %2").arg(write.item, converted.errorString));
        ++m_failedWrites;
        return;
    }

    CAryTxnTags request;
    request.entries.push_back(std::make_shared<CTxnTag>(requestId, *converted.value, false));
    const qint64 reply =
        m_desktop.sendMessage(m_driverWindow, hostmsg::WM_COPYDATA, m_window->handle(), 0,
                              WriteRequestCode, HostPayload::encodeTagValues(request));
    if (reply != WriteTaken) {
        fail(QStringLiteral("the driver refused to write %1 = %2 %3 (reply %4%5)")
                 .arg(write.item, converted.value->text(), valueTypeName(type))
                 .arg(reply)
                 .arg(reply == 0 ? QStringLiteral(": not running, or no answer") : QString()));
        ++m_failedWrites;
    }
}

void DriverSession::readStandardInput()
{
    char chunk[4096];
    const ssize_t received = ::read(STDIN_FILENO, chunk, sizeof chunk);
    if (received < 0 && (errno == EINTR || errno == EAGAIN))
        return;
    if (received > 0) {
        m_inputBuffer.append(chunk, received);
        qsizetype end;
        while (m_phase == Phase::Running && (end = m_inputBuffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_inputBuffer.left(end);
            m_inputBuffer.remove(0, end + 1);
            takeInputLine(QString::fromLocal8Bit(line));
        }
        return;
    }
    if (received < 0)
        fail(QStringLiteral("cannot read standard input: %1")
                 .arg(QString::fromLocal8Bit(std::strerror(errno))));
    else if (!m_inputBuffer.isEmpty() && m_phase == Phase::Running)
        takeInputLine(QString::fromLocal8Bit(m_inputBuffer)); // a last line without its end
    m_inputBuffer.clear();
    finish(received < 0 ? 1 : 0);
}

void DriverSession::takeInputLine(const QString &line)
{
    const QString text = line.trimmed();
    if (text.isEmpty() || text.startsWith(QLatin1Char('#')))
        return;
    const ParsedWrite parsed = parseItemWrite(text);
    if (!parsed.write) {
        fail(parsed.errorString);
        ++m_failedWrites;
        return;
    }
    sendWrite(*parsed.write);
}

void DriverSession::watchDriverWindow()
{
    if (m_phase != Phase::Running)
        return;
    if (m_desktop.findWindow(DriverTitle) == m_driverWindow)
        return;
    fail(QStringLiteral("the driver closed its window by itself"));
    finish(1, false);
}

void DriverSession::onDriverProcessFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    if (m_phase == Phase::Done)
        return;
    if (m_phase != Phase::Stopping) {
        fail(exitStatus == QProcess::NormalExit
                 ? QStringLiteral("the driver ended by itself (exit status %1)").arg(exitCode)
                 : QStringLiteral("the driver ended abnormally (a signal, or a crash)"));
        finish(1, false);
        return;
    }
    done();
}

void DriverSession::finish(int status, bool stopDriver)
{
    m_exitCode = std::max(m_exitCode, status);
    if (m_phase == Phase::Stopping || m_phase == Phase::Done)
        return;
    m_phase = Phase::Stopping;
    m_requestTimer.stop();
    m_durationTimer.stop();
    m_watchTimer.stop();
    if (m_input) {
        // This may run inside the notifier's own signal: it goes later.
        m_input->setEnabled(false);
        m_input.release()->deleteLater();
    }
    if (m_failedWrites > 0)
        m_exitCode = std::max(m_exitCode, 1);

    const bool launched = m_process != nullptr;
    m_stopDriver = stopDriver && (launched || m_command.driver.stop);
    if (m_stopDriver) {
        if (m_driverWindow == 0)
            m_driverWindow = m_desktop.findWindow(DriverTitle);
        if (m_driverWindow != 0 &&
            m_desktop.postMessage(m_driverWindow, StopRequestMessage, 0, 0)) {
            printNote(QStringLiteral("asked the driver to stop"));
        }
        // The stop request ends a run; a driver whose project never ran keeps
        // its window open (and no window, no request).
        if (!m_driverRuns) {
            if (launched && m_process->state() != QProcess::NotRunning) {
                printNote(QStringLiteral("the driver runs no project that a stop request "
                                         "would end; terminating it (pid %1)")
                              .arg(m_process->processId()));
                m_forcing = true;
                m_process->terminate();
            } else if (!launched) {
                printNote(QStringLiteral("the driver runs no project; it stays open"));
                m_stopDriver = false;
            }
        }
    }
    m_stopDeadline = QDeadlineTimer(m_forcing ? TerminatePatience : StopPatience);
    m_stopTimer.start();
    waitForDriverToGo();
}

void DriverSession::waitForDriverToGo()
{
    if (m_phase != Phase::Stopping)
        return;
    if (m_process) {
        if (m_process->state() == QProcess::NotRunning) {
            done();
        } else if (m_stopDeadline.hasExpired()) {
            forceDriverToEnd();
        }
        return; // its end arrives through onDriverProcessFinished
    }
    if (!m_stopDriver || m_driverWindow == 0 ||
        m_desktop.findWindow(DriverTitle) != m_driverWindow) {
        done();
        return;
    }
    if (m_stopDeadline.hasExpired()) {
        fail(QStringLiteral("the driver's window is still open %1 s after the stop request")
                 .arg(seconds(StopPatience)));
        done();
    }
}

void DriverSession::forceDriverToEnd()
{
    m_exitCode = std::max(m_exitCode, 1);
    if (!m_forcing) {
        m_forcing = true;
        fail(QStringLiteral("the driver did not close within %1 s; terminating it (pid %2)")
                 .arg(seconds(StopPatience))
                 .arg(m_process->processId()));
        m_process->terminate();
        m_stopDeadline = QDeadlineTimer(TerminatePatience);
        return;
    }
    fail(QStringLiteral("the driver ignored SIGTERM; killing it (pid %1)")
             .arg(m_process->processId()));
    m_process->kill();
    m_stopDeadline = QDeadlineTimer(QDeadlineTimer::Forever);
}

void DriverSession::done()
{
    if (m_phase == Phase::Done)
        return;
    m_phase = Phase::Done;
    m_stopTimer.stop();
    if (m_finishedHandler) {
        // Queued: the handler may well destroy this session.
        QMetaObject::invokeMethod(this, m_finishedHandler, Qt::QueuedConnection);
        return;
    }
    QCoreApplication::exit(0); // the status is the session's
}

void DriverSession::fail(const QString &text)
{
    printNote(text);
    // Failures while stopping count too; reasons for the status are
    // printed where they arise.
    m_exitCode = std::max(m_exitCode, 1);
}

} // namespace hostrun
