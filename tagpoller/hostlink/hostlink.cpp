#include "hostlink.h"

#include "desktop.h"
#include "driverstrings.h"
#include "eventlog.h"
#include "hostpayload.h"
#include "itemresolver.h"
#include "modbusruntime.h"

#include <QLoggingCategory>

#include <algorithm>

Q_LOGGING_CATEGORY(lcHostLink, "tagpoller.hostlink", QtInfoMsg)
Q_LOGGING_CATEGORY(lcHostLinkLowLevel, "tagpoller.hostlink.lowlevel", QtInfoMsg)

namespace {

// Enough of a bad payload to see what the sender meant, without flooding the
// log with a large one.
constexpr qsizetype DumpedPayloadBytes = 64;

} // namespace

HostLink::HostLink(HostLinkState state, const Channels &channels, hostmsg::Desktop &desktop,
                   EventLog *eventLog)
    : m_state(state), m_channels(channels), m_desktop(desktop), m_eventLog(eventLog)
{}

HostLink::~HostLink() = default;

bool HostLink::isDelivering() const
{
    return m_state.linkState == LinkState::Delivering && m_state.hostWindow != 0;
}

void HostLink::log(const QString &text) const
{
    if (m_eventLog)
        m_eventLog->addMessage(text);
}

void HostLink::logVerbose(const QString &text) const
{
    if (m_eventLog)
        m_eventLog->addMessage(text, EventLog::Level::Verbose);
}

void HostLink::logUndecodable(const hostmsg::Message &message, const ArchiveStatus &status) const
{
    // Logged, never shown in a box: the sender waits in its send for our reply.
    const QString why = describeArchiveStatus(status);
    log(QStringLiteral("Copy Data %1 from Parent ignored, its data could not be read: %2")
            .arg(message.dwData)
            .arg(why));
    qCWarning(lcHostLink).noquote() << "payload of copy-data code" << message.dwData << "("
                                    << message.payload.size() << "bytes) rejected:" << why;
    qCDebug(lcHostLinkLowLevel).noquote()
        << "rejected payload starts"
        << message.payload.first(std::min(message.payload.size(), DumpedPayloadBytes)).toHex(' ');
}

qint64 HostLink::handleCopyData(const hostmsg::Message &message)
{
    if (message.msg != hostmsg::WM_COPYDATA)
        return NotHandled;
    logVerbose(DriverString::text(DriverString::ReceivedCopyData));

    switch (message.dwData) {
    case ItemRequestCode:
        return handleItemRequest(message);
    case WriteRequestCode:
        return handleWriteRequest(message);
    default:
        return NotHandled;
    }
}

qint64 HostLink::handleItemRequest(const hostmsg::Message &message)
{
    if (!m_state.launchedByHost) {
        log(DriverString::text(DriverString::NotLaunchedByParentRequestDeclined));
        return ItemRequestRefused;
    }
    // A run that is already ending is not revived: accepting would put the
    // link back to Delivering and the run loop would never release the
    // engines the stop request or the failed delivery asked it to release.
    const bool ending =
        m_state.linkState == LinkState::Stopping || m_state.linkState == LinkState::Releasing;
    if (!m_state.running || ending) {
        log(DriverString::text(DriverString::ProjectNotRunningRequestDeclined));
        return ItemRequestRefused;
    }

    CAryReqTags request;
    const ArchiveStatus status = HostPayload::decodeItemRequest(message.payload, request);
    if (!status.ok()) {
        logUndecodable(message, status);
        return NotHandled;
    }

    if (request.items.size() > MaxRequestedItems) {
        log(QStringLiteral("Item request with %1 items refused, at most %2 are taken.")
                .arg(request.items.size())
                .arg(MaxRequestedItems));
        return NoItemResolved;
    }

    const ItemResolver::Result result = ItemResolver::resolveItems(m_channels, request, m_eventLog);
    // Writes find their tag by id through the runtime's index.
    if (m_runtime)
        m_runtime->rebuildRequestIndex();
    if (!result.succeeded()) {
        // Polling stops; a link that was delivering keeps its host window.
        if (m_runtime)
            m_runtime->setActive(false);
        return NoItemResolved;
    }

    if (m_runtime)
        m_runtime->setActive(true);
    m_state.linkState = LinkState::Delivering;
    m_state.hostWindow = message.wParam;
    m_state.refreshAll = true;
    return ItemRequestAccepted;
}

qint64 HostLink::handleWriteRequest(const hostmsg::Message &message)
{
    if (!m_state.launchedByHost || !m_state.running)
        return NotHandled;
    // Only the window that requested the items may write; any other sender is
    // answered as usual and nothing is written. With no host window
    // registered there is no one to match.
    if (m_state.hostWindow == 0 || message.wParam != m_state.hostWindow)
        return WriteRequestTaken;

    CAryTxnTags request;
    const ArchiveStatus status = HostPayload::decodeTagValues(message.payload, request);
    if (!status.ok()) {
        logUndecodable(message, status);
        return NotHandled;
    }

    if (!request.entries.empty() && m_eventLog &&
        m_eventLog->eventMessageLevel() >= EventLog::VerboseEventMessageLevel) {
        logVerbose(DriverString::format(DriverString::ProcessingTagWrite,
                                        {QString::number(request.entries.size())}));
    }
    for (const auto &entry : request.entries) {
        if (entry->requestId != 0 && m_runtime)
            m_runtime->writeHostValue(entry->requestId, entry->value);
    }
    return WriteRequestTaken;
}

void HostLink::queueTagValue(qint32 requestId, const CModData &value, bool inError)
{
    if (requestId == 0 || !isDelivering())
        return;
    m_pending.entries.push_back(std::make_shared<CTxnTag>(requestId, value, inError));
}

void HostLink::flushTagValues()
{
    if (!isDelivering() || m_pending.entries.empty())
        return;

    // The batch leaves the queue before the send: whatever is queued while the
    // send waits for the host runtime belongs to the next delivery and must not
    // be deleted with this one.
    CAryTxnTags batch;
    batch.entries.swap(m_pending.entries);
    const QByteArray payload = HostPayload::encodeTagValues(batch);
    const qint64 result = m_desktop.sendMessage(m_state.hostWindow, hostmsg::WM_COPYDATA,
                                                m_ownWindow, 0, ValueDeliveryCode, payload);

    // The emptied vector keeps its capacity for the next batch, so a steady
    // stream of values does not reallocate at every delivery.
    batch.entries.clear();
    if (m_pending.entries.empty())
        m_pending.entries.swap(batch.entries);

    if (result != DeliveryAcknowledged) {
        m_state.hostWindow = 0;
        log(DriverString::text(DriverString::ClientWindowNotFound));
        m_state.linkState = LinkState::Stopping;
    }
}

void HostLink::sendAllTagValues()
{
    if (!isDelivering())
        return;
    if (m_runtime)
        m_runtime->resendValues();
    flushTagValues();
}

void HostLink::discardPending()
{
    m_pending.entries = {};
}
