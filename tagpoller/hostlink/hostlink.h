#pragma once

#include "hostmsg.h"
#include "hostrecords.h"
#include "linkstate.h"
#include "projectfile.h"
#include "tagvaluesink.h"

#include <QString>

class EventLog;
class ModbusRuntime;

namespace hostmsg {
class Desktop;
}

// The driver's side of the copy-data protocol with the host runtime: item
// requests (code 200) bind request ids to tags and start the polling, write
// requests (code 700) go to the devices, and changed values are queued and
// delivered in batches (code 300).
//
// Everything runs on the GUI thread. A delivery is a synchronous send; while
// it waits, the host runtime may send item or write requests, which this class
// answers in between (they never touch the values being delivered).
class HostLink : public TagValueSink
{
public:
    // Copy-data codes (dwData).
    static constexpr quint64 ItemRequestCode = 200;
    static constexpr quint64 ValueDeliveryCode = 300;
    static constexpr quint64 WriteRequestCode = 700;

    // Replies.
    static constexpr qint64 DeliveryAcknowledged = 100;
    static constexpr qint64 ItemRequestAccepted = 500;
    static constexpr qint64 NoItemResolved = 510;
    static constexpr qint64 ItemRequestRefused = 520;
    static constexpr qint64 WriteRequestTaken = 600;
    static constexpr qint64 NotHandled = 0;

    // More items than any project of this driver holds tags: refused whole,
    // with one log line, rather than resolved (and logged) one by one.
    static constexpr size_t MaxRequestedItems = 250'000;

    // `channels` is the project's channel list, which the link resolves names
    // in; `desktop` sends the deliveries; `eventLog` may be null. All of them
    // and the state must outlive the link.
    HostLink(HostLinkState state, const Channels &channels, hostmsg::Desktop &desktop,
             EventLog *eventLog);
    ~HostLink() override;
    HostLink(const HostLink &) = delete;
    HostLink &operator=(const HostLink &) = delete;

    // The driver's main window: the sender named in every delivery.
    void setOwnWindow(hostmsg::Handle window) { m_ownWindow = window; }
    hostmsg::Handle ownWindow() const { return m_ownWindow; }

    // The Modbus side of the current run, or nullptr between runs. Accepted
    // item requests activate its channels, writes go to it and full refreshes
    // come from it.
    void setRuntime(ModbusRuntime *runtime) { m_runtime = runtime; }
    ModbusRuntime *runtime() const { return m_runtime; }

    // A WM_COPYDATA that arrived at the main window; returns the reply.
    // Messages of any other number are not the link's and get 0.
    qint64 handleCopyData(const hostmsg::Message &message);

    // Queues a copy of the value for the next delivery, while the link is
    // delivering to a host window and only for a requested tag (id not 0).
    // Every call is an entry of its own, in call order.
    void queueTagValue(qint32 requestId, const CModData &value, bool inError) override;

    // Delivers every queued value in one code-300 send to the host window.
    // A reply other than 100 ends the link: the host window is forgotten,
    // 58052 is logged and the link goes to Stopping. The queue is empty
    // afterwards whatever the reply.
    void flushTagValues();

    // The full refresh after an accepted item request: every requested tag
    // that has a value queues it, then they are delivered.
    void sendAllTagValues();

    // When the engines are released: the values still queued are dropped and
    // their memory returned.
    void discardPending();

    // The values queued since the last delivery.
    const CAryTxnTags &pendingValues() const { return m_pending; }

private:
    bool isDelivering() const;
    qint64 handleItemRequest(const hostmsg::Message &message);
    qint64 handleWriteRequest(const hostmsg::Message &message);
    void log(const QString &text) const;
    void logVerbose(const QString &text) const;
    void logUndecodable(const hostmsg::Message &message, const ArchiveStatus &status) const;

    HostLinkState m_state;
    const Channels &m_channels;
    hostmsg::Desktop &m_desktop;
    EventLog *m_eventLog = nullptr;
    ModbusRuntime *m_runtime = nullptr;
    hostmsg::Handle m_ownWindow = 0;
    CAryTxnTags m_pending;
};
