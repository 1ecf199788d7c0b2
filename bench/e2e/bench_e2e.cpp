// The driver end to end, as the host runtime runs it: the real tagpoller
// process, launched with OPEN_LAST and no one at the screen, polls Modbus TCP
// simulators that live in this process and delivers its code-300 batches to a
// host window of this process. Every simulator writes a new sequence number
// into all of its registers at each change and notes the steady-clock time of
// that number, so that each delivered value says when it was made.
//  - latency: one channel, one device, 1000 Word tags (8 frames of 125), all
//    changing every 100 ms on average; the time from the simulator's change to
//    the host's receipt of the delivery holding it, p50, p99 and max;
//  - throughput: 10 channels against 10 simulators, 10 000 Word tags each
//    (100 000 tags, 80 frames per channel), all changing every 100 ms; tag
//    changes delivered per second, and the tags whose last delivered value is
//    not the simulator's final one once the changes stop and the driver has
//    caught up (lost).
// The driver is built next to this program (build/tagpoller/tagpoller); the
// variable ORVALA_BENCH_DRIVER or --driver PATH names another. Its output goes
// to a file in the private home, which is removed at the end.
// The last line is the p99 latency in milliseconds, alone.
#include "cmodchnl.h"
#include "datatypes.h"
#include "desktop.h"
#include "hostpayload.h"
#include "hostrecords.h"
#include "projectfile.h"
#include "simulator.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <functional>
#include <limits>
#include <memory>
#include <mutex>
#include <optional>
#include <random>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr quint64 ItemRequestCode = 200;
constexpr quint64 ValueDeliveryCode = 300;
constexpr qint64 DeliveryAcknowledged = 100;
constexpr qint64 ItemRequestAccepted = 500;
constexpr qint64 ItemRequestRefused = 520;
constexpr quint32 StopRequestMessage = hostmsg::WM_USER + 102;
const QString DriverTitle = QStringLiteral("Orvala Modbus Driver (Beta)");

constexpr int FrameRegisters = 125;
constexpr double LatencyTargetMs = 350;
constexpr double ThroughputTarget = 100000;

struct Scenario
{
    int channels = 1;
    int tagsPerChannel = 1000;
    milliseconds changePeriod{100};
    // Spacing drawn between half and one and a half periods: with a fixed
    // period the changes keep the same phase against the driver's 50 ms run
    // loop and its delivery interval, and the figures would show those few
    // phases rather than a value changing at any moment.
    bool spreadChanges = false;
    int warmUpMs = 3000;
    int measureMs = 15000;
    int catchUpMs = 30000;
};

qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

double cpuSeconds(clockid_t clock)
{
    timespec t{};
    clock_gettime(clock, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// User and system time of another process, from /proc.
double otherProcessCpuSeconds(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray text = stat.readAll();
    // The command name may hold blanks and parentheses: fields count from the last ")".
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    if (fields.size() < 13)
        return 0;
    const double ticks = double(sysconf(_SC_CLK_TCK));
    return (fields[11].toDouble() + fields[12].toDouble()) / ticks;
}

template<class Predicate> bool waitFor(Predicate predicate, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!predicate()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QEventLoop loop;
        QTimer::singleShot(10, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return true;
}

void runEventsUntil(qint64 deadlineNs)
{
    const qint64 left = (deadlineNs - nowNs()) / 1000000;
    if (left <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(left), Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// The private home of this run, which the driver inherits: its settings,
// recent files, event log and message folder never touch the user's. Made
// before Qt starts, as Qt reads these variables once.
class PrivateHome
{
public:
    PrivateHome() : m_root(QDir::tempPath() + QStringLiteral("/orvala-bench-XXXXXX"))
    {
        if (!m_root.isValid())
            return;
        const struct
        {
            const char *variable;
            const char *folder;
        } folders[] = {
            {"ORVALA_RUNTIME_DIR", "run"},    {"XDG_RUNTIME_DIR", "xdg-run"},
            {"XDG_CONFIG_HOME", "config"},    {"XDG_DATA_HOME", "data"},
            {"XDG_CACHE_HOME", "cache"},      {"XDG_CONFIG_DIRS", "system-config"},
            {"XDG_DATA_DIRS", "system-data"}, {"HOME", "home"},
        };
        for (const auto &f : folders) {
            const QString path = m_root.path() + QLatin1Char('/') + QLatin1StringView(f.folder);
            QDir().mkpath(path);
            // The message folder is refused unless only its owner may use it.
            ::chmod(QFile::encodeName(path).constData(), 0700);
            qputenv(f.variable, QFile::encodeName(path));
        }
        m_valid = true;
    }

    bool isValid() const { return m_valid; }
    QString filePath(const QString &name) const { return m_root.filePath(name); }

private:
    QTemporaryDir m_root;
    bool m_valid = false;
};

// One simulator unit whose first `count` holding registers all take the next
// sequence number at each change. The time of every number is kept, readable
// from any thread while the simulator runs.
class SequencedChanges
{
public:
    SequencedChanges(mbsim::Simulator &sim, quint8 unit, int count, quint32 seed)
        : m_sim(sim)
        , m_unit(unit)
        , m_count(count)
        , m_changedAt(std::make_unique<std::atomic<qint64>[]>(65536))
        , m_random(seed)
    {
        for (int i = 0; i < 65536; ++i)
            m_changedAt[i].store(0, std::memory_order_relaxed);
    }

    ~SequencedChanges() { stop(); }

    void start(milliseconds period, bool spread)
    {
        m_spreadFrom = period / 2;
        m_spreadTo = period + period / 2;
        m_next = Clock::now();
        if (spread)
            m_task = m_sim.every(milliseconds(1),
                                 [this, spread](mbsim::DataStore &data) { change(data, spread); });
        else
            m_task = m_sim.every(period,
                                 [this, spread](mbsim::DataStore &data) { change(data, spread); });
    }

    // No change runs after this returns: the task runs with the tables
    // locked, and its removal takes the same lock.
    void stop()
    {
        if (m_task != 0)
            m_sim.removeTask(m_task);
        m_task = 0;
    }

    quint16 lastSequence() const { return m_last.load(std::memory_order_acquire); }

    // 0 for a number never written.
    qint64 changedAtNs(quint16 sequence) const
    {
        return m_changedAt[sequence].load(std::memory_order_acquire);
    }

    int changesBetween(qint64 fromNs, qint64 toNs) const
    {
        int changes = 0;
        for (int s = 1; s <= int(lastSequence()); ++s) {
            const qint64 at = changedAtNs(quint16(s));
            changes += at >= fromNs && at < toNs;
        }
        return changes;
    }

    int count() const { return m_count; }

private:
    // On the simulator's thread, which serves no request meanwhile.
    void change(mbsim::DataStore &data, bool spread)
    {
        const Clock::time_point now = Clock::now();
        if (spread) {
            if (now < m_next)
                return;
            std::uniform_int_distribution<int> spacing(int(m_spreadFrom.count()),
                                                       int(m_spreadTo.count()));
            m_next = now + milliseconds(spacing(m_random));
        }
        const quint16 sequence = quint16(m_last.load(std::memory_order_relaxed) + 1);
        mbsim::UnitTables *tables = data.unit(m_unit);
        // Number 0 is the registers' value before the first change; a run
        // never gets near 65535 changes.
        if (!tables || sequence == 0)
            return;
        std::fill_n(tables->holdingRegisters.begin(), m_count, sequence);
        m_changedAt[sequence].store(nowNs(), std::memory_order_release);
        m_last.store(sequence, std::memory_order_release);
    }

    mbsim::Simulator &m_sim;
    const quint8 m_unit;
    const int m_count;
    std::unique_ptr<std::atomic<qint64>[]> m_changedAt;
    std::atomic<quint16> m_last{0};
    int m_task = 0;
    // Server thread only.
    std::mt19937 m_random;
    Clock::time_point m_next;
    milliseconds m_spreadFrom{0};
    milliseconds m_spreadTo{0};
};

// Latencies in 0.1 ms steps up to a minute.
class LatencyHistogram
{
public:
    static constexpr qint64 BucketNs = 100000;
    static constexpr size_t BucketCount = 600000;

    LatencyHistogram() : m_buckets(BucketCount + 1, 0) {}

    void add(qint64 ns)
    {
        const size_t bucket = ns < 0 ? 0 : std::min(size_t(ns / BucketNs), BucketCount);
        ++m_buckets[bucket];
        ++m_count;
        m_maxNs = std::max(m_maxNs, ns);
        m_minNs = std::min(m_minNs, ns);
    }

    quint64 count() const { return m_count; }
    double maxMs() const { return m_count ? double(m_maxNs) / 1e6 : 0; }
    double minMs() const { return m_count ? double(m_minNs) / 1e6 : 0; }

    // The upper edge of the bucket that holds the fraction `p` of the samples.
    double percentileMs(double p) const
    {
        if (m_count == 0)
            return 0;
        const quint64 rank = std::max<quint64>(1, quint64(std::ceil(p * double(m_count))));
        quint64 seen = 0;
        for (size_t i = 0; i < m_buckets.size(); ++i) {
            seen += m_buckets[i];
            if (seen >= rank)
                return std::min(double((i + 1) * BucketNs), double(m_maxNs)) / 1e6;
        }
        return maxMs();
    }

private:
    std::vector<quint64> m_buckets;
    quint64 m_count = 0;
    qint64 m_maxNs = 0;
    qint64 m_minNs = std::numeric_limits<qint64>::max();
};

// What the host learns from the deliveries. The request id of a tag is its
// index over all channels plus one; each channel has its own source.
class DeliveryAnalysis
{
public:
    struct Delivery
    {
        qint64 receivedNs = 0;
        quint64 entries = 0;
        qsizetype bytes = 0;
    };

    DeliveryAnalysis(std::vector<const SequencedChanges *> sources, int tagsPerSource)
        : m_sources(std::move(sources))
        , m_tagsPerSource(tagsPerSource)
        , m_lastValue(m_sources.size() * size_t(tagsPerSource), -1)
    {}

    void setWindow(qint64 fromNs, qint64 toNs)
    {
        m_windowFrom = fromNs;
        m_windowTo = toNs;
    }
    qint64 windowFrom() const { return m_windowFrom; }
    qint64 windowTo() const { return m_windowTo; }

    void add(qint64 receivedNs, qsizetype bytes, const CAryTxnTags &values)
    {
        m_deliveries.push_back({receivedNs, quint64(values.entries.size()), bytes});
        const bool inWindow = receivedNs >= m_windowFrom && receivedNs < m_windowTo;
        for (const auto &entry : values.entries) {
            const qint64 index = qint64(entry->requestId) - 1;
            if (index < 0 || index >= qint64(m_lastValue.size())) {
                ++m_unknownIds;
                continue;
            }
            if (entry->inError)
                ++m_inError;
            const int value = entry->value.asInteger();
            qint32 &last = m_lastValue[size_t(index)];
            if (last >= 0 && value < last)
                ++m_backwards;
            else if (value == last)
                ++m_repeated;
            if (inWindow) {
                if (last >= 0 && value > last + 1)
                    m_overwritten += quint64(value - last - 1);
                const SequencedChanges &source = *m_sources[size_t(index / m_tagsPerSource)];
                const qint64 changedAt = value > 0 ? source.changedAtNs(quint16(value)) : 0;
                if (changedAt > 0)
                    m_latency.add(receivedNs - changedAt);
                else
                    ++m_withoutChangeTime;
            }
            last = value;
        }
    }

    const std::vector<Delivery> &deliveries() const { return m_deliveries; }
    const LatencyHistogram &latency() const { return m_latency; }

    // Tags whose last delivered value is not their source's last number.
    int tagsBehind() const
    {
        int behind = 0;
        for (size_t i = 0; i < m_lastValue.size(); ++i) {
            const SequencedChanges &source = *m_sources[i / size_t(m_tagsPerSource)];
            behind += m_lastValue[i] != int(source.lastSequence());
        }
        return behind;
    }

    struct Rate
    {
        double entriesPerSecond = 0;
        double bytesPerSecond = 0;
        double seconds = 0;
        int deliveries = 0;
        quint64 entries = 0;
    };

    // Between the first and the last delivery of the window: the entries of
    // every delivery after the first, over the time between them.
    Rate windowRate() const
    {
        Rate rate;
        const Delivery *first = nullptr;
        const Delivery *last = nullptr;
        quint64 entries = 0;
        double bytes = 0;
        for (const Delivery &d : m_deliveries) {
            if (d.receivedNs < m_windowFrom || d.receivedNs >= m_windowTo)
                continue;
            ++rate.deliveries;
            rate.entries += d.entries;
            if (!first) {
                first = &d;
                continue;
            }
            last = &d;
            entries += d.entries;
            bytes += double(d.bytes);
        }
        if (first && last && last->receivedNs > first->receivedNs) {
            rate.seconds = double(last->receivedNs - first->receivedNs) / 1e9;
            rate.entriesPerSecond = double(entries) / rate.seconds;
            rate.bytesPerSecond = bytes / rate.seconds;
        }
        return rate;
    }

    quint64 backwards() const { return m_backwards; }
    quint64 repeated() const { return m_repeated; }
    quint64 overwritten() const { return m_overwritten; }
    quint64 inError() const { return m_inError; }
    quint64 unknownIds() const { return m_unknownIds; }
    quint64 withoutChangeTime() const { return m_withoutChangeTime; }

private:
    std::vector<const SequencedChanges *> m_sources;
    const int m_tagsPerSource;
    std::vector<qint32> m_lastValue;
    std::vector<Delivery> m_deliveries;
    LatencyHistogram m_latency;
    qint64 m_windowFrom = std::numeric_limits<qint64>::max();
    qint64 m_windowTo = std::numeric_limits<qint64>::max();
    quint64 m_backwards = 0;
    quint64 m_repeated = 0;
    quint64 m_overwritten = 0;
    quint64 m_inError = 0;
    quint64 m_unknownIds = 0;
    quint64 m_withoutChangeTime = 0;
};

// The host window. The handler only notes the time and keeps the payload, then
// answers at once: the driver's send is synchronous and its polling waits for
// the answer, so decoding happens on a thread of its own and the figures show
// the driver, not this host.
class Host
{
public:
    Host(hostmsg::Desktop &desktop, DeliveryAnalysis &analysis)
        : m_window(desktop.createWindow(QStringLiteral("benchmark host"))), m_analysis(analysis)
    {
        if (!m_window)
            return;
        m_window->setHandler([this](const hostmsg::Message &message) -> qint64 {
            if (message.msg != hostmsg::WM_COPYDATA || message.dwData != ValueDeliveryCode)
                return 0;
            const qint64 received = nowNs();
            {
                std::lock_guard lock(m_queueMutex);
                m_queue.push_back({received, message.payload});
                ++m_received;
            }
            m_queueChanged.notify_one();
            return DeliveryAcknowledged;
        });
        m_decoder = std::thread([this] { decodeLoop(); });
    }

    ~Host()
    {
        {
            std::lock_guard lock(m_queueMutex);
            m_quit = true;
        }
        m_queueChanged.notify_one();
        if (m_decoder.joinable())
            m_decoder.join();
    }

    bool isValid() const { return m_window != nullptr; }
    hostmsg::Handle handle() const { return m_window->handle(); }

    // Runs `function` on the analysis while no delivery is being applied.
    template<class Function> auto withAnalysis(Function &&function)
    {
        std::lock_guard lock(m_analysisMutex);
        return function(m_analysis);
    }

    // True once every delivery received so far has been applied.
    bool drained()
    {
        std::lock_guard lock(m_queueMutex);
        return m_queue.empty() && m_applied == m_received;
    }

    quint64 undecodable() const { return m_undecodable.load(); }
    double decodeCpuSeconds() const { return m_decodeCpuSeconds.load(); }

private:
    struct Received
    {
        qint64 receivedNs = 0;
        QByteArray payload;
    };

    void decodeLoop()
    {
        for (;;) {
            Received next;
            {
                std::unique_lock lock(m_queueMutex);
                m_queueChanged.wait(lock, [this] { return m_quit || !m_queue.empty(); });
                if (m_queue.empty())
                    return;
                next = std::move(m_queue.front());
                m_queue.pop_front();
            }
            CAryTxnTags values;
            if (!HostPayload::decodeTagValues(next.payload, values).ok())
                ++m_undecodable;
            {
                std::lock_guard lock(m_analysisMutex);
                m_analysis.add(next.receivedNs, next.payload.size(), values);
            }
            m_decodeCpuSeconds.store(cpuSeconds(CLOCK_THREAD_CPUTIME_ID));
            std::lock_guard lock(m_queueMutex);
            ++m_applied;
        }
    }

    std::unique_ptr<hostmsg::Window> m_window;
    DeliveryAnalysis &m_analysis;
    std::mutex m_analysisMutex;
    std::mutex m_queueMutex;
    std::condition_variable m_queueChanged;
    std::deque<Received> m_queue;
    quint64 m_received = 0;
    quint64 m_applied = 0;
    bool m_quit = false;
    std::atomic<quint64> m_undecodable{0};
    std::atomic<double> m_decodeCpuSeconds{0};
    std::thread m_decoder;
};

QString driverProgram(const QStringList &arguments)
{
    const qsizetype option = arguments.indexOf(QStringLiteral("--driver"));
    if (option >= 0 && option + 1 < arguments.size())
        return arguments[option + 1];
    const QString fromEnvironment = qEnvironmentVariable("ORVALA_BENCH_DRIVER");
    if (!fromEnvironment.isEmpty())
        return fromEnvironment;
    // This program is build/bench/e2e/bench_e2e.
    return QDir(QCoreApplication::applicationDirPath() + QStringLiteral("/../.."))
        .absoluteFilePath(QStringLiteral("tagpoller/tagpoller"));
}

// One channel on a simulator: a device of `tagCount` Word tags on holding
// registers 400001 onwards, read in frames of 125, with the item names the
// host requests them by (request id = `firstId` + index).
std::shared_ptr<CModTCPChnl> makeChannel(int number, quint16 port, int tagCount, qint32 firstId,
                                         CAryReqTags &request)
{
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = QStringLiteral("Chnl%1").arg(number);
    channel->IpAddress = {127, 0, 0, 1};
    channel->PortNumber = port;
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Dev1");
    device->DeviceId = 1;
    device->HoldingRegBlock = FrameRegisters;
    for (int i = 0; i < tagCount; ++i) {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = QStringLiteral("T%1").arg(i + 1, 5, 10, QLatin1Char('0'));
        tag->TagAddress = QString::number(400001 + i);
        tag->AddressNumber = 400001 + i;
        tag->DataType = DataTypeCode::Word;
        tag->ClientAccess = ClientAccessCode::ReadOnly;
        request.items.push_back(std::make_shared<CReqTag>(
            firstId + i, channel->name + QStringLiteral(".Dev1.") + tag->TagName));
        device->tags.append(std::move(tag));
    }
    channel->devices.push_back(std::move(device));
    return channel;
}

struct RunResult
{
    bool ok = false;
    QString failure;
    int blockChanges = 0; // changes of one source within the window
    double changesMadePerSecond = 0;
    DeliveryAnalysis::Rate rate;
    double p50 = 0, p99 = 0, maxMs = 0, minMs = 0;
    quint64 latencySamples = 0;
    quint64 overwritten = 0, backwards = 0, repeated = 0, inError = 0, unknownIds = 0;
    quint64 withoutChangeTime = 0, undecodable = 0;
    int lost = -1;
    double catchUpSeconds = 0;
    double driverCpu = 0; // cores, over the window
    double benchCpu = 0;  // cores, over the window: simulators, host, decoding
    double decodeCpu = 0; // cores, over the window: the host's decoding alone
    double loadSeconds = 0;
    double framesPerSecond = 0; // read requests the simulators served, all channels
    qint64 driverLogBytes = 0;
};

// Launches the driver on a project of `scenario`, requests every tag, changes
// the registers, measures over the window, stops the changes, waits for the
// driver to catch up, and stops it.
RunResult runScenario(const Scenario &scenario, const QString &program, const PrivateHome &home,
                      hostmsg::Desktop &desktop, const QString &label)
{
    RunResult result;
    auto fail = [&](const QString &why) {
        result.failure = why;
        return result;
    };

    std::vector<std::unique_ptr<mbsim::Simulator>> simulators;
    std::vector<std::unique_ptr<SequencedChanges>> changes;
    Channels channels;
    CAryReqTags request;
    for (int c = 0; c < scenario.channels; ++c) {
        auto sim = std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}});
        const quint16 port = sim->start();
        if (port == 0)
            return fail(QStringLiteral("simulator: ") + QString::fromStdString(sim->errorString()));
        channels.push_back(makeChannel(c + 1, port, scenario.tagsPerChannel,
                                       c * scenario.tagsPerChannel + 1, request));
        changes.push_back(std::make_unique<SequencedChanges>(*sim, 1, scenario.tagsPerChannel,
                                                             quint32(1000 + c)));
        simulators.push_back(std::move(sim));
    }

    const QString projectPath = home.filePath(label + QStringLiteral(".drx"));
    if (ProjectFile::save(projectPath, channels).error != ProjectFile::Error::None)
        return fail(QStringLiteral("cannot save ") + projectPath);
    {
        QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
        settings.setValue(QStringLiteral("Recent File List/File1"), projectPath);
        settings.sync();
    }

    std::vector<const SequencedChanges *> sources;
    for (const auto &c : changes)
        sources.push_back(c.get());
    DeliveryAnalysis analysis(sources, scenario.tagsPerChannel);
    Host host(desktop, analysis);
    if (!host.isValid())
        return fail(QStringLiteral("cannot create the host window: ") + desktop.errorString());

    QProcess driver;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // Nobody is at the screen: the driver's questions are answered Yes.
    environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("yes"));
    driver.setProcessEnvironment(environment);
    driver.setProcessChannelMode(QProcess::MergedChannels);
    const QString logPath = home.filePath(label + QStringLiteral("-driver.log"));
    driver.setStandardOutputFile(logPath);
    QElapsedTimer loading;
    loading.start();
    driver.start(program, {QStringLiteral("OPEN_LAST")});
    if (!driver.waitForStarted(10000))
        return fail(QStringLiteral("cannot start ") + program + QStringLiteral(": ") +
                    driver.errorString());

    // Whatever happens from here, the driver goes at the end: asked first, then
    // killed by its process id.
    auto stopDriver = [&] {
        if (driver.state() == QProcess::NotRunning)
            return;
        if (const hostmsg::Handle window = desktop.findWindow(DriverTitle))
            desktop.postMessage(window, StopRequestMessage);
        if (!waitFor([&] { return driver.state() == QProcess::NotRunning; }, 30000)) {
            std::fprintf(stderr, "the driver (pid %lld) did not stop when asked: killed\n",
                         static_cast<long long>(driver.processId()));
            driver.kill();
            driver.waitForFinished(5000);
        }
    };
    struct StopAtExit
    {
        std::function<void()> stop;
        ~StopAtExit() { stop(); }
    } stopAtExit{stopDriver};
    auto stopChanges = [&] {
        for (const auto &c : changes)
            c->stop();
    };
    struct StopChangesAtExit
    {
        std::function<void()> stop;
        ~StopChangesAtExit() { stop(); }
    } stopChangesAtExit{stopChanges};

    hostmsg::Handle driverWindow = 0;
    if (!waitFor([&] { return (driverWindow = desktop.findWindow(DriverTitle)) != 0; }, 60000))
        return fail(QStringLiteral("the driver's window did not appear (see ") + logPath +
                    QStringLiteral(")"));

    // The driver refuses item requests until its project runs.
    const QByteArray requestPayload = HostPayload::encodeItemRequest(request);
    qint64 reply = ItemRequestRefused;
    waitFor(
        [&] {
            reply = desktop.sendMessage(driverWindow, hostmsg::WM_COPYDATA, host.handle(), 0,
                                        ItemRequestCode, requestPayload, milliseconds(60000));
            return reply != ItemRequestRefused;
        },
        120000);
    if (reply != ItemRequestAccepted)
        return fail(QStringLiteral("item request answered %1").arg(reply));
    result.loadSeconds = double(loading.elapsed()) / 1000;

    for (const auto &c : changes)
        c->start(scenario.changePeriod, scenario.spreadChanges);
    if (!waitFor([&] { return host.withAnalysis([](auto &a) { return !a.deliveries().empty(); }); },
                 60000))
        return fail(QStringLiteral("no delivery within 60 s"));
    const qint64 firstDelivery =
        host.withAnalysis([](auto &a) { return a.deliveries().front().receivedNs; });
    const qint64 windowFrom = firstDelivery + qint64(scenario.warmUpMs) * 1000000;
    const qint64 windowTo = windowFrom + qint64(scenario.measureMs) * 1000000;
    host.withAnalysis([&](auto &a) {
        a.setWindow(windowFrom, windowTo);
        return 0;
    });

    auto requestsServed = [&] {
        quint64 requests = 0;
        for (const auto &sim : simulators)
            requests += sim->counters().requestsReceived;
        return requests;
    };
    runEventsUntil(windowFrom);
    const quint64 requestsFrom = requestsServed();
    const double driverCpuFrom = otherProcessCpuSeconds(driver.processId());
    const double benchCpuFrom = processCpuSeconds();
    const double decodeCpuFrom = host.decodeCpuSeconds();
    runEventsUntil(windowTo);
    const double driverCpuTo = otherProcessCpuSeconds(driver.processId());
    const double benchCpuTo = processCpuSeconds();
    const double decodeCpuTo = host.decodeCpuSeconds();
    const quint64 requestsTo = requestsServed();
    const double windowSeconds = double(windowTo - windowFrom) / 1e9;
    result.driverCpu = (driverCpuTo - driverCpuFrom) / windowSeconds;
    result.benchCpu = (benchCpuTo - benchCpuFrom) / windowSeconds;
    result.decodeCpu = (decodeCpuTo - decodeCpuFrom) / windowSeconds;
    result.framesPerSecond = double(requestsTo - requestsFrom) / windowSeconds;

    // The deliveries of the window's last moments are still on their way.
    stopChanges();
    QElapsedTimer catchUp;
    catchUp.start();
    const bool caughtUp = waitFor(
        [&] {
            return host.drained() && host.withAnalysis([](auto &a) { return a.tagsBehind(); }) == 0;
        },
        scenario.catchUpMs);
    result.catchUpSeconds = caughtUp ? double(catchUp.elapsed()) / 1000 : -1;
    waitFor([&] { return host.drained(); }, 30000);

    stopDriver();
    result.driverLogBytes = QFileInfo(logPath).size();

    host.withAnalysis([&](DeliveryAnalysis &a) {
        result.rate = a.windowRate();
        const LatencyHistogram &latency = a.latency();
        result.latencySamples = latency.count();
        result.p50 = latency.percentileMs(0.50);
        result.p99 = latency.percentileMs(0.99);
        result.maxMs = latency.maxMs();
        result.minMs = latency.minMs();
        result.overwritten = a.overwritten();
        result.backwards = a.backwards();
        result.repeated = a.repeated();
        result.inError = a.inError();
        result.unknownIds = a.unknownIds();
        result.withoutChangeTime = a.withoutChangeTime();
        result.lost = a.tagsBehind();
        return 0;
    });
    result.undecodable = host.undecodable();
    double made = 0;
    for (const auto &c : changes)
        made += double(c->changesBetween(windowFrom, windowTo)) * c->count();
    result.changesMadePerSecond = made / windowSeconds;
    result.blockChanges = changes.front()->changesBetween(windowFrom, windowTo);
    result.ok = true;
    return result;
}

void printCommon(const RunResult &r, int framesPerScan)
{
    std::printf("  frames read: %.0f/s, %.1f full scans/s per channel\n", r.framesPerSecond,
                r.framesPerSecond / framesPerScan);
    std::printf("  project loaded and running (first item request accepted) %.1f s after "
                "launch\n",
                r.loadSeconds);
    std::printf("  deliveries in the window: %d, %.0f ms apart on average, %.2f MB/s of "
                "payload\n",
                r.rate.deliveries,
                r.rate.deliveries > 1 ? r.rate.seconds * 1000 / (r.rate.deliveries - 1) : 0.0,
                r.rate.bytesPerSecond / 1e6);
    std::printf(
        "  values that went back: %llu, delivered twice in a row: %llu, in error: %llu, "
        "unknown ids: %llu, without a change time: %llu, undecodable deliveries: %llu\n",
        static_cast<unsigned long long>(r.backwards), static_cast<unsigned long long>(r.repeated),
        static_cast<unsigned long long>(r.inError), static_cast<unsigned long long>(r.unknownIds),
        static_cast<unsigned long long>(r.withoutChangeTime),
        static_cast<unsigned long long>(r.undecodable));
    std::printf("  CPU over the window, in cores: driver %.2f; this process %.2f (simulators, "
                "host, of which decoding %.2f)\n",
                r.driverCpu, r.benchCpu, r.decodeCpu);
    std::printf("  driver output: %.1f MB\n", double(r.driverLogBytes) / 1e6);
}

} // namespace

int main(int argc, char **argv)
{
    PrivateHome home;
    if (!home.isValid()) {
        std::fprintf(stderr, "cannot create a private home folder\n");
        return 2;
    }
    QCoreApplication app(argc, argv);
    const QString program = driverProgram(QCoreApplication::arguments());
    if (!QFileInfo(program).isExecutable()) {
        std::fprintf(stderr,
                     "no driver at %s (build the tagpoller target, or name it with "
                     "--driver PATH or ORVALA_BENCH_DRIVER)\n",
                     qPrintable(program));
        return 2;
    }
    hostmsg::Desktop desktop;
    if (!desktop.open()) {
        std::fprintf(stderr, "hostmsg: %s\n", qPrintable(desktop.errorString()));
        return 2;
    }
    std::printf("driver: %s\n", qPrintable(QDir::cleanPath(program)));
    std::fflush(stdout);

    Scenario latency;
    latency.channels = 1;
    latency.tagsPerChannel = 1000;
    latency.spreadChanges = true;
    latency.warmUpMs = 3000;
    latency.measureMs = 15000;
    const RunResult l = runScenario(latency, program, home, desktop, QStringLiteral("latency"));
    if (!l.ok) {
        std::fprintf(stderr, "latency run failed: %s\n", qPrintable(l.failure));
        return 1;
    }
    std::printf("latency: 1 channel, 1 device, %d Word tags (400001-%d, %d frames of %d), all "
                "changing together every %lld ms on average (spacing %lld to %lld ms)\n",
                latency.tagsPerChannel, 400000 + latency.tagsPerChannel,
                (latency.tagsPerChannel + FrameRegisters - 1) / FrameRegisters, FrameRegisters,
                static_cast<long long>(latency.changePeriod.count()),
                static_cast<long long>(latency.changePeriod.count() / 2),
                static_cast<long long>(latency.changePeriod.count() * 3 / 2));
    std::printf("  window: %.0f s after %.0f s of warm-up; %d changes of the registers, %llu "
                "tag values delivered\n",
                latency.measureMs / 1000.0, latency.warmUpMs / 1000.0, l.blockChanges,
                static_cast<unsigned long long>(l.latencySamples));
    std::printf("  simulator change to host receipt: p50 %.1f ms, p99 %.1f ms, max %.1f ms, "
                "min %.1f ms (target p99 <= %.0f ms)\n",
                l.p50, l.p99, l.maxMs, l.minMs, LatencyTargetMs);
    std::printf("  changes never read (overwritten before the driver read them): %llu; lost "
                "after the changes stopped: %d\n",
                static_cast<unsigned long long>(l.overwritten), l.lost);
    printCommon(l, (latency.tagsPerChannel + FrameRegisters - 1) / FrameRegisters);
    std::fflush(stdout);

    Scenario throughput;
    throughput.channels = 10;
    throughput.tagsPerChannel = 10000;
    throughput.spreadChanges = false;
    throughput.warmUpMs = 5000;
    throughput.measureMs = 10000;
    const RunResult t =
        runScenario(throughput, program, home, desktop, QStringLiteral("throughput"));
    if (!t.ok) {
        std::fprintf(stderr, "throughput run failed: %s\n", qPrintable(t.failure));
        return 1;
    }
    const int totalTags = throughput.channels * throughput.tagsPerChannel;
    std::printf("throughput: %d channels on %d simulators, 1 device each, %d Word tags each (%d "
                "tags, %d frames of %d per channel), every register changing every %lld ms\n",
                throughput.channels, throughput.channels, throughput.tagsPerChannel, totalTags,
                (throughput.tagsPerChannel + FrameRegisters - 1) / FrameRegisters, FrameRegisters,
                static_cast<long long>(throughput.changePeriod.count()));
    std::printf("  measured: tag values delivered to the host per second (each a change the "
                "driver read), between the first and last delivery of a %.0f s window after "
                "%.0f s of warm-up\n",
                throughput.measureMs / 1000.0, throughput.warmUpMs / 1000.0);
    std::printf("  delivered: %.0f tag changes/s (target >= %.0f/s); %llu values in %.1f s\n",
                t.rate.entriesPerSecond, ThroughputTarget,
                static_cast<unsigned long long>(t.rate.entries), t.rate.seconds);
    std::printf("  made by the simulators: %.0f tag changes/s; never read, overwritten before "
                "the driver's next read of the register (not a loss): %llu (%.1f%% of those "
                "made)\n",
                t.changesMadePerSecond, static_cast<unsigned long long>(t.overwritten),
                t.changesMadePerSecond > 0
                    ? 100.0 * double(t.overwritten) /
                          (t.changesMadePerSecond * throughput.measureMs / 1000.0)
                    : 0.0);
    std::printf(
        "  lost: %d tags whose last delivered value differs from their simulator's final "
        "value once the changes stopped (caught up %s)\n",
        t.lost,
        t.catchUpSeconds >= 0
            ? qPrintable(QStringLiteral("in %1 s").arg(t.catchUpSeconds, 0, 'f', 1))
            : qPrintable(QStringLiteral("not within %1 s").arg(throughput.catchUpMs / 1000)));
    std::printf("  latency under this load: p50 %.1f ms, p99 %.1f ms, max %.1f ms\n", t.p50, t.p99,
                t.maxMs);
    printCommon(t, throughput.channels *
                       ((throughput.tagsPerChannel + FrameRegisters - 1) / FrameRegisters));

    std::printf("p99 latency ms: %.0f (target <= %.0f)\n", l.p99, LatencyTargetMs);
    std::printf("%.0f\n", l.p99);
    return 0;
}
