// The Modbus TCP runtime against in-process simulators on loopback, next to a
// plain libmodbus client reading the same frame from the same simulator:
//  - one channel, one device, one frame of 125 holding registers (125 Word
//    tags, every one requested by the host, values ramping every 100 ms), in
//    frames/s for the runtime and for libmodbus; the two take turns in short
//    rounds so that a machine that speeds up or slows down during the run
//    weighs on both alike;
//  - the CPU time the runtime spends per 1000 frames on the thread that runs
//    it (the event loop's thread: socket, framing, decoding, hand-over), with
//    the libmodbus client's thread beside it;
//  - ten channels against ten simulators, frames/s in total;
//  - one device of 1000 Word tags scanned at 1 s, with HonourScanRates off
//    (every frame read again as soon as its reply is in) and on: requests/s
//    and the CPU the whole process spends;
//  - planning a device of 100 000 tags.
// The last line is the runtime's frame rate divided by libmodbus's, alone.
#include "channelruntime.h"
#include "cmodchnl.h"
#include "cmoddevice.h"
#include "cmodtag.h"
#include "datatypes.h"
#include "deviceruntime.h"
#include "modbusruntime.h"
#include "readplan.h"
#include "runtimeservices.h"
#include "simulator.h"
#include "tagvaluesink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <modbus.h>

#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int WarmUpMs = 1000;
constexpr int Rounds = 5;
constexpr int RoundMs = 1000;
constexpr int ManyChannelsMs = 5000;
constexpr int FrameRegisters = 125;
constexpr int ChannelCount = 10;
constexpr int ConnectWaitMs = 10000;
constexpr int PlanTagCount = 100000;
constexpr int ScanRateTagCount = 1000;
constexpr int ScanRateMs = 1000;
constexpr int ScanRateMeasureMs = 6000;
constexpr int PlanRounds = 5;
constexpr auto RampPeriod = std::chrono::milliseconds(100);

// The host link's side reduced to a counter: the runtime still decodes every
// tag and hands over every changed value, so that cost is in the figures.
class CountingSink : public TagValueSink
{
public:
    void queueTagValue(qint32, const CModData &, bool) override { ++deliveries; }
    quint64 deliveries = 0;
};

// The engine's per-frame hex dump is formatted as the driver formats it, but
// not written out: where stderr goes would decide the figures otherwise.
constexpr const char *FrameDumpCategory = "tagpoller.modbus.lowlevel";
quint64 droppedFrameDumpLines = 0;
QtMessageHandler previousMessageHandler = nullptr;

void messageHandler(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type == QtDebugMsg && context.category &&
        std::strcmp(context.category, FrameDumpCategory) == 0) {
        ++droppedFrameDumpLines;
        return;
    }
    if (previousMessageHandler)
        previousMessageHandler(type, context, text);
    else
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double processCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Lets the event loop run for `ms`, as a running driver would.
void runEventLoop(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done` holds or `timeoutMs` passed.
bool runEventLoopUntil(const std::function<bool()> &done, int timeoutMs)
{
    QElapsedTimer elapsed;
    elapsed.start();
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, &loop, [&] {
        if (done() || elapsed.elapsed() > timeoutMs)
            loop.quit();
    });
    check.start(5);
    if (!done())
        loop.exec();
    return done();
}

// What one side did in its measured time, summed over its rounds.
struct PollFigures
{
    quint64 frames = 0;
    double seconds = 0;
    double threadCpu = 0;  // the thread that polls
    double processCpu = 0; // every thread, the simulators' included
    quint64 deliveries = 0;
    std::vector<quint64> framesPerChannel;

    double framesPerSecond() const { return seconds > 0 ? frames / seconds : 0; }
    // Milliseconds of CPU per 1000 frames.
    double cpuPerThousand(double cpuSeconds) const
    {
        return frames > 0 ? cpuSeconds * 1e6 / double(frames) : 0;
    }

    void add(const PollFigures &other)
    {
        frames += other.frames;
        seconds += other.seconds;
        threadCpu += other.threadCpu;
        processCpu += other.processCpu;
        deliveries += other.deliveries;
        framesPerChannel.resize(std::max(framesPerChannel.size(), other.framesPerChannel.size()));
        for (size_t i = 0; i < other.framesPerChannel.size(); ++i)
            framesPerChannel[i] += other.framesPerChannel[i];
    }
};

// Takes the clocks at the start of a measured stretch and the differences at
// its end.
class Stopwatch
{
public:
    Stopwatch() : m_threadCpu(threadCpuSeconds()), m_processCpu(processCpuSeconds())
    {
        m_wall.start();
    }

    void stop(PollFigures &figures) const
    {
        figures.seconds = m_wall.nsecsElapsed() / 1e9;
        figures.threadCpu = threadCpuSeconds() - m_threadCpu;
        figures.processCpu = processCpuSeconds() - m_processCpu;
    }

private:
    QElapsedTimer m_wall;
    double m_threadCpu;
    double m_processCpu;
};

std::unique_ptr<mbsim::Simulator> startSimulator()
{
    auto sim = std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}});
    if (sim->start() == 0) {
        std::fprintf(stderr, "simulator did not start: %s\n", sim->errorString().c_str());
        return nullptr;
    }
    // Every value changes now and then, so decoding also hands values over.
    sim->addRamp(1, mbsim::Table::HoldingRegisters, 0, FrameRegisters, RampPeriod);
    return sim;
}

// One TCP channel with one device of Word tags; 125 of them fill one frame.
std::shared_ptr<CModChnl> makeChannel(int index, quint16 port, int tagCount = FrameRegisters,
                                      int scanRateMs = 1000)
{
    auto channel = std::make_shared<CModTCPChnl>();
    channel->name = QStringLiteral("Chnl%1").arg(index + 1);
    channel->IpAddress = {127, 0, 0, 1};
    channel->PortNumber = port;
    channel->ConnectTimeout = 3;
    channel->ReconnectAfter = 1;
    channel->MaxReconnectAttempts = 0;

    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Dev1");
    device->DeviceId = 1;
    device->ZeroBasedAddr = true;
    device->HoldingRegBlock = FrameRegisters;
    for (int i = 0; i < tagCount; ++i) {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = QStringLiteral("Reg%1").arg(i + 1);
        tag->AddressNumber = 400001 + i;
        tag->TagAddress = QString::number(tag->AddressNumber);
        tag->DataType = DataTypeCode::Word;
        tag->ClientAccess = ClientAccessCode::ReadOnly;
        tag->ScanRate = scanRateMs;
        tag->requestId = index * 10000 + i + 1;
        device->tags.append(std::move(tag));
    }
    channel->devices.push_back(std::move(device));
    return channel;
}

// The runtime with one channel per simulator, counting the frames of each
// channel's one device.
class RuntimeRig
{
public:
    explicit RuntimeRig(bool honourScanRates = false)
    {
        m_services.valueSink = &m_sink;
        m_services.honourScanRates = honourScanRates;
        m_runtime = std::make_unique<ModbusRuntime>(m_services);
    }
    ~RuntimeRig() { m_runtime->stop(); }

    // Starts the run and waits until every channel polls and has read once.
    bool start(const std::vector<std::unique_ptr<mbsim::Simulator>> &simulators,
               int tagsPerChannel = FrameRegisters, int scanRateMs = 1000)
    {
        std::vector<CModChnl *> list;
        for (size_t i = 0; i < simulators.size(); ++i) {
            m_channels.push_back(
                makeChannel(int(i), simulators[i]->port(), tagsPerChannel, scanRateMs));
            list.push_back(m_channels.back().get());
        }
        if (m_runtime->start(list) != ModbusRuntime::StartResult::Started) {
            std::fprintf(stderr, "the runtime did not start\n");
            return false;
        }
        m_runtime->setActive(true);
        const bool polling = runEventLoopUntil(
            [&] {
                for (const auto &channel : m_runtime->channels()) {
                    if (channel->state() != ChannelRuntime::State::Polling ||
                        channel->devices()[0]->frames()[0].readsOk() == 0)
                        return false;
                }
                return true;
            },
            ConnectWaitMs);
        if (!polling)
            std::fprintf(stderr, "the channels did not start polling\n");
        return polling;
    }

    // Lets the last request be answered, then nothing is sent.
    void pause()
    {
        m_runtime->setActive(false);
        runEventLoop(20);
    }

    // Polling starts again at a channel's next tick.
    bool resume()
    {
        const std::vector<quint64> before = framesPerChannel();
        m_runtime->setActive(true);
        return runEventLoopUntil([&] { return framesPerChannel() != before; }, ConnectWaitMs);
    }

    PollFigures measure(int ms)
    {
        PollFigures figures;
        const std::vector<quint64> before = framesPerChannel();
        const quint64 deliveriesBefore = m_sink.deliveries;
        const Stopwatch stopwatch;
        runEventLoop(ms);
        stopwatch.stop(figures);
        const std::vector<quint64> after = framesPerChannel();
        figures.deliveries = m_sink.deliveries - deliveriesBefore;
        for (size_t i = 0; i < after.size(); ++i) {
            figures.framesPerChannel.push_back(after[i] - before[i]);
            figures.frames += after[i] - before[i];
        }
        return figures;
    }

    // Every frame of every device counted: the requests answered.
    quint64 readsOfAllFrames() const
    {
        quint64 reads = 0;
        for (const auto &channel : m_runtime->channels())
            for (const auto &device : channel->devices())
                for (const ReadFrame &frame : device->frames())
                    reads += frame.readsOk();
        return reads;
    }

private:
    std::vector<quint64> framesPerChannel() const
    {
        std::vector<quint64> frames;
        for (const auto &channel : m_runtime->channels())
            frames.push_back(channel->devices()[0]->frames()[0].readsOk());
        return frames;
    }

    CountingSink m_sink;
    RuntimeServices m_services;
    std::vector<std::shared_ptr<CModChnl>> m_channels;
    std::unique_ptr<ModbusRuntime> m_runtime;
};

// The same frame read by libmodbus in a tight loop: one request, one blocking
// wait for its reply, again.
class LibmodbusClient
{
public:
    ~LibmodbusClient()
    {
        if (m_ctx) {
            modbus_close(m_ctx);
            modbus_free(m_ctx);
        }
    }

    bool connect(quint16 port)
    {
        m_ctx = modbus_new_tcp("127.0.0.1", port);
        if (!m_ctx || modbus_set_slave(m_ctx, 1) != 0 || modbus_connect(m_ctx) != 0) {
            std::fprintf(stderr, "libmodbus did not connect: %s\n", modbus_strerror(errno));
            return false;
        }
        return true;
    }

    PollFigures measure(int ms)
    {
        PollFigures figures;
        const Stopwatch stopwatch;
        const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        while (std::chrono::steady_clock::now() < end) {
            if (modbus_read_registers(m_ctx, 0, FrameRegisters, m_registers.data()) ==
                FrameRegisters)
                ++figures.frames;
            else
                ++m_failures;
        }
        stopwatch.stop(figures);
        return figures;
    }

    quint64 failures() const { return m_failures; }

private:
    modbus_t *m_ctx = nullptr;
    std::vector<quint16> m_registers = std::vector<quint16>(FrameRegisters);
    quint64 m_failures = 0;
};

// 25 000 tags in each address space, added in shuffled order as an imported
// project would have them: bits in runs with gaps, registers of mixed widths
// with Boolean tags sharing a register.
std::shared_ptr<CModTCPDev> makeLargeDevice()
{
    auto device = std::make_shared<CModTCPDev>();
    device->name = QStringLiteral("Large");
    device->ZeroBasedAddr = true;
    device->OutputCoilBlock = 2000;
    device->InputCoilBlock = 2000;
    device->InternalRegBlock = 125;
    device->HoldingRegBlock = 125;

    constexpr int PerSpace = PlanTagCount / AddressSpaces::Count;
    std::vector<std::shared_ptr<CModTag>> tags;
    tags.reserve(PlanTagCount);
    const auto add = [&](qint32 addressNumber, int dataType, quint8 bit) {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = QStringLiteral("Tag_%1").arg(tags.size() + 1);
        tag->AddressNumber = addressNumber;
        tag->TagAddress = QStringLiteral("%1").arg(addressNumber, 6, 10, QLatin1Char('0'));
        tag->DataType = dataType;
        tag->BitNumber = bit;
        tags.push_back(std::move(tag));
    };

    for (const qint32 base : {1, 100001}) {
        for (int i = 0; i < PerSpace; ++i)
            add(base + i + i / 50, DataTypeCode::Boolean, 0);
    }
    const int pattern[] = {DataTypeCode::Word,    DataTypeCode::Short,  DataTypeCode::Long,
                           DataTypeCode::Float,   DataTypeCode::Double, DataTypeCode::DWord,
                           DataTypeCode::Boolean, DataTypeCode::Boolean};
    for (const qint32 base : {300001, 400001}) {
        qint32 offset = 0;
        for (int i = 0; i < PerSpace; ++i) {
            const int type = pattern[i % 8];
            add(base + offset, type, quint8(i % 16));
            // The first of two Boolean tags shares its register with the second.
            if (i % 8 != 6)
                offset += plannedWidth(type);
        }
    }

    std::shuffle(tags.begin(), tags.end(), std::mt19937(12345));
    for (auto &tag : tags)
        device->tags.append(std::move(tag));
    return device;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    previousMessageHandler = qInstallMessageHandler(messageHandler);

    std::vector<std::unique_ptr<mbsim::Simulator>> simulators;
    const auto addSimulators = [&](int count) {
        while (int(simulators.size()) < count) {
            simulators.push_back(startSimulator());
            if (!simulators.back())
                return false;
        }
        return true;
    };

    // One channel and libmodbus on the same simulator, taking turns.
    if (!addSimulators(1))
        return 1;
    PollFigures runtime;
    PollFigures libmodbus;
    quint64 libmodbusFailures = 0;
    {
        RuntimeRig rig;
        LibmodbusClient client;
        if (!rig.start(simulators) || !client.connect(simulators.front()->port()))
            return 1;
        rig.measure(WarmUpMs);
        rig.pause();
        client.measure(WarmUpMs);
        for (int round = 0; round < Rounds; ++round) {
            if (!rig.resume()) {
                std::fprintf(stderr, "the runtime did not poll again\n");
                return 1;
            }
            runtime.add(rig.measure(RoundMs));
            rig.pause();
            libmodbus.add(client.measure(RoundMs));
        }
        libmodbusFailures = client.failures();
    }
    if (runtime.frames == 0 || libmodbus.frames == 0) {
        std::fprintf(stderr, "no frames read\n");
        return 1;
    }

    std::printf("one channel, one device, one frame of %d holding registers; %d rounds of %.1f s "
                "each for the runtime and libmodbus in turn\n",
                FrameRegisters, Rounds, RoundMs / 1000.0);
    const double runtimeRate = runtime.framesPerSecond();
    const double libmodbusRate = libmodbus.framesPerSecond();
    std::printf("runtime:   %8.0f frames/s (%llu frames, %.0f values handed over/s)\n", runtimeRate,
                (unsigned long long)runtime.frames, runtime.deliveries / runtime.seconds);
    std::printf("libmodbus: %8.0f frames/s (%llu frames, %llu failed)\n", libmodbusRate,
                (unsigned long long)libmodbus.frames, (unsigned long long)libmodbusFailures);

    // The runtime's thread CPU is all of its work: Qt's event loop and socket,
    // the engine, the channel and device, decoding and hand-over. The rest of
    // the process is the simulator answering.
    std::printf("CPU per 1000 frames, user+sys of the polling thread: runtime %.1f ms (%.0f%% of a "
                "core), libmodbus %.1f ms (%.0f%% of a core)\n",
                runtime.cpuPerThousand(runtime.threadCpu),
                100 * runtime.threadCpu / runtime.seconds,
                libmodbus.cpuPerThousand(libmodbus.threadCpu),
                100 * libmodbus.threadCpu / libmodbus.seconds);
    std::printf("CPU per 1000 frames, the simulator's thread: %.1f ms serving the runtime, %.1f ms "
                "serving libmodbus\n",
                runtime.cpuPerThousand(runtime.processCpu - runtime.threadCpu),
                libmodbus.cpuPerThousand(libmodbus.processCpu - libmodbus.threadCpu));
    if (droppedFrameDumpLines > 0)
        std::printf("note: the engine formatted %llu lines of its per-frame hex dump (%s debug "
                    "output is on); they were dropped here, not written\n",
                    (unsigned long long)droppedFrameDumpLines, FrameDumpCategory);
    std::fflush(stdout);

    // Ten channels, each against its own simulator.
    if (!addSimulators(ChannelCount))
        return 1;
    PollFigures many;
    {
        RuntimeRig rig;
        if (!rig.start(simulators))
            return 1;
        rig.measure(WarmUpMs);
        many = rig.measure(ManyChannelsMs);
    }
    const auto [slowest, fastest] =
        std::minmax_element(many.framesPerChannel.begin(), many.framesPerChannel.end());
    std::printf("runtime, %d channels against %d simulators: %.0f frames/s in total (%.0f to %.0f "
                "per channel), %.1f ms CPU per 1000 frames on the polling thread\n",
                ChannelCount, ChannelCount, many.framesPerSecond(), *slowest / many.seconds,
                *fastest / many.seconds, many.cpuPerThousand(many.threadCpu));
    std::fflush(stdout);

    // A device of 1000 tags at 1 s, scan rates ignored and honoured.
    for (const bool honour : {false, true}) {
        std::vector<std::unique_ptr<mbsim::Simulator>> one;
        one.push_back(std::make_unique<mbsim::Simulator>(mbsim::SimulatorConfig{.units = {1}}));
        if (one.back()->start() == 0)
            return 1;
        RuntimeRig rig(honour);
        if (!rig.start(one, ScanRateTagCount, ScanRateMs))
            return 1;
        runEventLoop(WarmUpMs);
        const quint64 readsBefore = rig.readsOfAllFrames();
        PollFigures figures;
        const Stopwatch stopwatch;
        runEventLoop(ScanRateMeasureMs);
        stopwatch.stop(figures);
        const double requests = double(rig.readsOfAllFrames() - readsBefore) / figures.seconds;
        std::printf("%d tags at %d ms in %d frames, HonourScanRates %d: %.0f requests/s, polling "
                    "thread %.1f%% of a core, whole process with the simulator %.1f%%\n",
                    ScanRateTagCount, ScanRateMs,
                    (ScanRateTagCount + FrameRegisters - 1) / FrameRegisters, honour ? 1 : 0,
                    requests, 100 * figures.threadCpu / figures.seconds,
                    100 * figures.processCpu / figures.seconds);
        std::fflush(stdout);
    }

    const std::shared_ptr<CModTCPDev> device = makeLargeDevice();
    double bestMs = 1e30;
    ReadPlan plan;
    for (int round = 0; round < PlanRounds; ++round) {
        QElapsedTimer timer;
        timer.start();
        plan = planDevice(*device);
        bestMs = std::min(bestMs, timer.nsecsElapsed() / 1e6);
    }
    std::printf("planning %d tags (four address spaces, mixed types): %.1f ms, best of %d; %zu "
                "addresses, %zu frames\n",
                PlanTagCount, bestMs, PlanRounds, plan.addressTags.size(), plan.frames.size());

    const double ratio = runtimeRate / libmodbusRate;
    std::printf("ratio runtime/libmodbus: %.2f\n", ratio);
    std::printf("%.2f\n", ratio);
    return 0;
}
