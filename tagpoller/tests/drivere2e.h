#pragma once

// The driver as a real process, launched as the host runtime launches it, a
// test host window that receives its deliveries over hostmsg, and a simulator
// for its devices. Each test process has a private home, which the driver
// inherits: its settings, recent files and saved messages are the test's.
#include "cmodchnl.h"
#include "datatypes.h"
#include "desktop.h"
#include "hostpayload.h"
#include "hostrecords.h"
#include "projectfile.h"
#include "savedmessages.h"
#include "simulator.h"
#include "tagaddress.h"
#include "testenvironment.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QStandardPaths>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

class DriverEndToEnd : public ::testing::Test
{
protected:
    static constexpr int WaitMs = 20000;
    static constexpr quint32 StopRequestMessage = hostmsg::WM_USER + 102;
    const QString DriverTitle = QStringLiteral("Orvala Modbus Driver (Beta)");

    struct Delivery
    {
        qint64 receivedMs = 0;
        CAryTxnTags values;
    };

    DriverEndToEnd()
    {
        sim.start();
        host = desktop.createWindow(QStringLiteral("test host"));
        host->setHandler([this](const hostmsg::Message &message) -> qint64 {
            if (message.msg != hostmsg::WM_COPYDATA || message.dwData != 300)
                return 0;
            Delivery delivery;
            delivery.receivedMs = clock.elapsed();
            EXPECT_TRUE(HostPayload::decodeTagValues(message.payload, delivery.values).ok());
            deliveries.push_back(std::move(delivery));
            return deliveryReply;
        });
        clock.start();
    }

    ~DriverEndToEnd() override
    {
        if (driver.state() != QProcess::NotRunning) {
            driver.kill();
            driver.waitForFinished(5000);
        }
    }

    // A project with one channel on the simulator, saved and made the most
    // recent file, as a plant engineer leaves it before the host starts.
    CModTCPDev &addDevice()
    {
        if (channels.empty()) {
            auto channel = std::make_shared<CModTCPChnl>();
            channel->name = QStringLiteral("Chnl1");
            channel->IpAddress = {127, 0, 0, 1};
            channel->PortNumber = sim.port();
            channels.push_back(channel);
        }
        auto device = std::make_shared<CModTCPDev>();
        device->name = QStringLiteral("Dev1");
        CModTCPDev &added = *device;
        channels.front()->devices.push_back(std::move(device));
        return added;
    }

    static CModTag &addTag(TagList &tags, const QString &name, const QString &address, int dataType,
                           int access = ClientAccessCode::ReadWrite)
    {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = name;
        tag->TagAddress = address;
        tag->AddressNumber = AddressText::leadingNumber(address);
        tag->DataType = dataType;
        tag->ClientAccess = access;
        CModTag &added = *tag;
        tags.append(std::move(tag));
        return added;
    }

    void saveProjectAsMostRecent(int eventMessageLevel = 3)
    {
        projectPath = testsupport::tempRoot() + QStringLiteral("/plant.drx");
        ASSERT_EQ(ProjectFile::save(projectPath, channels).error, ProjectFile::Error::None);
        QSettings settings(QStringLiteral("Quenlor"), QStringLiteral("Orvala Modbus Driver"));
        settings.setValue(QStringLiteral("Recent File List/File1"), projectPath);
        settings.setValue(QStringLiteral("Settings/EvtMsgLevel"), eventMessageLevel);
        settings.sync();
    }

    // Starts the driver as the host runtime does, and waits for its window.
    void launchDriver(const QStringList &arguments = {QStringLiteral("OPEN_LAST")})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // Nobody is at the screen: the driver's questions are answered Yes.
        environment.insert(QStringLiteral("ORVALA_UNATTENDED"), QStringLiteral("yes"));
        driver.setProcessEnvironment(environment);
        driver.setProcessChannelMode(QProcess::ForwardedOutputChannel);
        driver.start(testsupport::builtProgram(QStringLiteral("tagpoller/tagpoller")), arguments);
        ASSERT_TRUE(driver.waitForStarted(10000));
        ASSERT_TRUE(waitFor([&] { return (driverWindow = desktop.findWindow(DriverTitle)) != 0; }));
    }

    qint64 sendItemRequest(const std::vector<std::pair<qint32, QString>> &items)
    {
        CAryReqTags request;
        for (const auto &[id, name] : items) {
            auto item = std::make_shared<CReqTag>();
            item->requestId = id;
            item->name = name;
            request.items.push_back(item);
        }
        return desktop.sendMessage(driverWindow, hostmsg::WM_COPYDATA, host->handle(), 0, 200,
                                   HostPayload::encodeItemRequest(request));
    }

    // Repeats the item request while the driver is not yet running.
    qint64 requestItemsOnceRunning(const std::vector<std::pair<qint32, QString>> &items)
    {
        qint64 reply = 520;
        waitFor([&] { return (reply = sendItemRequest(items)) != 520; });
        return reply;
    }

    qint64 sendWrite(qint32 requestId, const CModData &value)
    {
        CAryTxnTags write;
        auto entry = std::make_shared<CTxnTag>();
        entry->requestId = requestId;
        entry->value = value;
        write.entries.push_back(entry);
        return desktop.sendMessage(driverWindow, hostmsg::WM_COPYDATA, host->handle(), 0, 700,
                                   HostPayload::encodeTagValues(write));
    }

    // Every value delivered for `requestId`, in order.
    std::vector<CTxnTag> valuesOf(qint32 requestId) const
    {
        std::vector<CTxnTag> values;
        for (const Delivery &delivery : deliveries) {
            for (const auto &entry : delivery.values.entries) {
                if (entry->requestId == requestId)
                    values.push_back(*entry);
            }
        }
        return values;
    }

    std::optional<CTxnTag> latest(qint32 requestId) const
    {
        const std::vector<CTxnTag> values = valuesOf(requestId);
        if (values.empty())
            return std::nullopt;
        return values.back();
    }

    bool waitForExit()
    {
        return waitFor([&] { return driver.state() == QProcess::NotRunning; });
    }

    // The driver's event messages as it saved them when it closed.
    QStringList savedMessages() const
    {
        const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                             QStringLiteral("/Quenlor/Orvala Modbus Driver/") +
                             QString(savedmessages::FileName);
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList texts;
        for (const auto &message : savedmessages::decode(file.readAll()).messages)
            texts << message->text();
        return texts;
    }

    template<class Predicate> bool waitFor(Predicate predicate, int timeoutMs = WaitMs)
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

    mbsim::Simulator sim;
    hostmsg::Desktop desktop;
    std::unique_ptr<hostmsg::Window> host;
    hostmsg::Handle driverWindow = 0;
    Channels channels;
    QString projectPath;
    QProcess driver;
    QElapsedTimer clock;
    std::vector<Delivery> deliveries;
    qint64 deliveryReply = 100;
};
