// mbsim: a Modbus TCP device simulator on 127.0.0.1 for trying out the driver.
#include "commandline.h"
#include "simulator.h"
#include "suiteversion.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>
#include <cstdio>
#include <pthread.h>

namespace {

int fail(const std::string &message)
{
    std::fprintf(stderr, "mbsim: %s\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    // SIGINT and SIGTERM are blocked before any thread starts, so every thread
    // inherits the mask and the main thread alone takes them with sigwait():
    // no handler, no shared flag.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("mbsim"));
    QCoreApplication::setApplicationVersion(QString::fromLatin1(SuiteVersion));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Modbus TCP device simulator on 127.0.0.1, with fault injection.\n"
                       "Runs until SIGINT or SIGTERM.\n\n") +
        QString::fromUtf8(mbsim::commandLineFormatHelp()));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption portOption(QStringLiteral("port"),
                                        QStringLiteral("TCP port (0: any free port)."),
                                        QStringLiteral("port"), QStringLiteral("1502"));
    const QCommandLineOption unitsOption(QStringLiteral("units"),
                                         QStringLiteral("Unit ids served, e.g. 1,2,5-8."),
                                         QStringLiteral("list"), QStringLiteral("1"));
    const QCommandLineOption unknownUnitOption(
        QStringLiteral("unknown-unit"),
        QStringLiteral("Other unit ids: gateway (exception 0x0B) or silent (no reply)."),
        QStringLiteral("policy"), QStringLiteral("gateway"));
    const QCommandLineOption setOption(QStringLiteral("set"),
                                       QStringLiteral("Sets values, TABLE:UNIT:ADDRESS=VALUE."),
                                       QStringLiteral("setting"));
    const QCommandLineOption rampOption(
        QStringLiteral("ramp"), QStringLiteral("Counts values up, TABLE:UNIT:ADDRESS@PERIODms."),
        QStringLiteral("ramp"));
    const QCommandLineOption faultOption(QStringLiteral("fault"),
                                         QStringLiteral("Adds a fault rule, see above."),
                                         QStringLiteral("rule"));
    const QCommandLineOption refuseOption(
        QStringLiteral("refuse"),
        QStringLiteral("Units that lack functions, UNITS:FUNCTIONS, e.g. 1:5,6,22."),
        QStringLiteral("refusal"));
    parser.addOptions({portOption, unitsOption, unknownUnitOption, setOption, rampOption,
                       faultOption, refuseOption});
    parser.process(app);

    std::string error;
    mbsim::SimulatorConfig config;
    bool portOk = false;
    const uint port = parser.value(portOption).toUInt(&portOk);
    if (!portOk || port > 65535)
        return fail("port must be 0..65535");
    config.port = static_cast<std::uint16_t>(port);
    const auto units = mbsim::parseUnitList(parser.value(unitsOption).toStdString(), error);
    if (!units)
        return fail(error);
    config.units = *units;
    const auto policy =
        mbsim::parseUnknownUnitPolicy(parser.value(unknownUnitOption).toStdString(), error);
    if (!policy)
        return fail(error);
    config.unknownUnit = *policy;

    mbsim::Simulator simulator(config);
    for (const QString &text : parser.values(setOption)) {
        const auto setting = mbsim::parseValueSetting(text.toStdString(), error);
        if (!setting)
            return fail(error);
        const std::vector<std::uint16_t> block =
            setting->registers.empty() ? std::vector<std::uint16_t>(setting->count, setting->value)
                                       : setting->registers;
        if (!simulator.setValues(setting->unit, setting->table, setting->address, block))
            return fail("--set " + text.toStdString() + ": unit not served");
    }
    for (const QString &text : parser.values(rampOption)) {
        const auto ramp = mbsim::parseRampSetting(text.toStdString(), error);
        if (!ramp)
            return fail(error);
        simulator.addRamp(ramp->unit, ramp->table, ramp->address, ramp->count, ramp->period);
    }
    for (const QString &text : parser.values(refuseOption)) {
        const auto refusal = mbsim::parseRefusalSetting(text.toStdString(), error);
        if (!refusal)
            return fail(error);
        for (std::uint8_t unit : refusal->units)
            for (std::uint8_t function : refusal->functions)
                simulator.refuseFunction(unit, function);
    }
    for (const QString &text : parser.values(faultOption)) {
        const auto rule = mbsim::parseFaultRule(text.toStdString(), error);
        if (!rule)
            return fail(error);
        simulator.addFault(*rule);
    }

    const std::uint16_t listeningPort = simulator.start();
    if (listeningPort == 0)
        return fail(simulator.errorString());
    std::printf("listening on 127.0.0.1:%u\n", unsigned{listeningPort});
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    simulator.stop();
    const mbsim::SimulatorCounters counters = simulator.counters();
    std::printf("stopped: %llu connections, %llu requests\n",
                static_cast<unsigned long long>(counters.connectionsAccepted),
                static_cast<unsigned long long>(counters.requestsReceived));
    return 0;
}
