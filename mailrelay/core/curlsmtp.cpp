#include "curlsmtp.h"

#include "mailheaders.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMimeDatabase>
#include <QUuid>

#include <curl/curl.h>

Q_LOGGING_CATEGORY(mailSmtpLog, "mailrelay.smtp")

namespace {

constexpr long ConnectTimeoutSeconds = 20;
constexpr long TransferTimeoutSeconds = 120;

// The first refusal (4xx or 5xx) the server sent in this transfer, read from
// libcurl's trace of incoming protocol lines: later lines (the reply to the
// QUIT after a failure) must not hide it. Outgoing lines, which carry the
// credentials, are never looked at.
int debugCallback(CURL *, curl_infotype type, char *data, size_t size, void *user)
{
    if (type != CURLINFO_HEADER_IN || size < 3)
        return 0;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        if (data[i] < '0' || data[i] > '9')
            return 0;
        code = code * 10 + (data[i] - '0');
    }
    int &refusal = *static_cast<int *>(user);
    if (code >= 400 && refusal == 0)
        refusal = code;
    return 0;
}

int progressCallback(void *user, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool> *>(user)->load() ? 1 : 0;
}

bool readFile(const QString &path, QByteArray &content)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

// The media type of an embedded file, from its content and name. A system
// without the shared MIME database still names the common picture and
// document types rightly from their first bytes or their extension.
QByteArray mediaTypeOf(const QString &path)
{
    static const QMimeDatabase database;
    const QString found = database.mimeTypeForFile(path).name();
    if (!found.isEmpty() && found != QLatin1StringView("application/octet-stream") &&
        found != QLatin1StringView("text/plain"))
        return found.toLatin1();
    QFile file(path);
    QByteArray head;
    if (file.open(QIODevice::ReadOnly))
        head = file.read(8);
    static const struct
    {
        QByteArray magic;
        const char *extension;
        const char *type;
    } known[] = {
        {QByteArray("\x89PNG\r\n\x1a\n", 8), "png", "image/png"},
        {QByteArray("\xff\xd8\xff", 3), "jpg", "image/jpeg"},
        {QByteArray("GIF8"), "gif", "image/gif"},
        {QByteArray("%PDF-"), "pdf", "application/pdf"},
        {QByteArray("BM"), "bmp", "image/bmp"},
    };
    const QString suffix = QFileInfo(path).suffix().toLower();
    for (const auto &k : known)
        if (head.startsWith(k.magic) || suffix == QLatin1StringView(k.extension))
            return k.type;
    if (suffix == QLatin1StringView("jpeg"))
        return "image/jpeg";
    if (suffix == QLatin1StringView("txt") || suffix == QLatin1StringView("csv") ||
        suffix == QLatin1StringView("log"))
        return "text/plain";
    return found.isEmpty() ? "application/octet-stream" : found.toLatin1();
}

} // namespace

// What one perform needs to keep alive until it has finished.
struct CurlSmtpTransport::Transfer
{
    curl_slist *recipients = nullptr;
    curl_slist *headers = nullptr;
    curl_mime *mime = nullptr;
    int refusal = 0;        // the first 4xx/5xx reply
    QList<QByteArray> keep; // strings libcurl reads during the transfer

    ~Transfer()
    {
        curl_slist_free_all(recipients);
        curl_slist_free_all(headers);
        curl_mime_free(mime);
    }
};

CurlSmtpTransport::CurlSmtpTransport(const std::atomic<bool> &cancel) : m_cancel(cancel) {}

CurlSmtpTransport::~CurlSmtpTransport()
{
    close();
}

void CurlSmtpTransport::applyCommonOptions(Transfer &transfer)
{
    curl_easy_reset(m_curl);
    const QByteArray url =
        "smtp://127.0.0.1:" + QByteArray::number(m_account.proxyPort) + "/localhost";
    transfer.keep << url << m_account.user.toUtf8() << m_account.password.toUtf8();
    curl_easy_setopt(m_curl, CURLOPT_URL, transfer.keep[0].constData());
    curl_easy_setopt(m_curl, CURLOPT_USERNAME, transfer.keep[1].constData());
    curl_easy_setopt(m_curl, CURLOPT_PASSWORD, transfer.keep[2].constData());
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT, ConnectTimeoutSeconds);
    curl_easy_setopt(m_curl, CURLOPT_TIMEOUT, TransferTimeoutSeconds);
    curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, progressCallback);
    curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, &m_cancel);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, debugCallback);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, &transfer.refusal);
}

SmtpOutcome CurlSmtpTransport::perform(Transfer &transfer)
{
    const CURLcode result = curl_easy_perform(m_curl);
    if (result == CURLE_OK)
        return {SmtpOutcome::Kind::Done, 0};
    if (transfer.refusal != 0) {
        qCInfo(mailSmtpLog) << "server refused with" << transfer.refusal << "-"
                            << curl_easy_strerror(result);
        return {SmtpOutcome::Kind::Refused, transfer.refusal};
    }
    qCInfo(mailSmtpLog) << "transport failed:" << curl_easy_strerror(result);
    return {SmtpOutcome::Kind::Transport, int(result)};
}

SmtpOutcome CurlSmtpTransport::connect(const ServerAccount &account)
{
    close();
    m_account = account;
    if (!account.hasAccount() || account.proxyPort <= 0)
        return {SmtpOutcome::Kind::Transport, int(CURLE_LOGIN_DENIED)};
    m_curl = curl_easy_init();
    if (!m_curl)
        return {SmtpOutcome::Kind::Transport, int(CURLE_FAILED_INIT)};
    // A NOOP opens the connection and logs in; the handle keeps it for the
    // emails that follow.
    Transfer transfer;
    applyCommonOptions(transfer);
    curl_easy_setopt(m_curl, CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(m_curl, CURLOPT_NOBODY, 1L);
    SmtpOutcome outcome = perform(transfer);
    if (!outcome.ok()) {
        // A refusal at login is a failed connection all the same.
        close();
    }
    return outcome;
}

SmtpOutcome CurlSmtpTransport::send(const CMailDetails &email)
{
    if (!m_curl)
        return {SmtpOutcome::Kind::Transport, int(CURLE_COULDNT_CONNECT)};
    Transfer transfer;

    // Files first: an unreadable one is this email's fault, not the server's.
    const bool html = email.html != 0;
    QByteArray bodyText;
    if (html || email.body.startsWith(u'@')) {
        const QString path = email.body.startsWith(u'@') ? email.body.mid(1) : email.body;
        if (!readFile(path, bodyText)) {
            qCInfo(mailSmtpLog) << "cannot read the body file" << path;
            return {SmtpOutcome::Kind::Refused, int(CURLE_READ_ERROR)};
        }
    } else {
        bodyText = email.body.toUtf8();
    }
    const QStringList embedded =
        html ? email.embeddedFiles.split(u';', Qt::SkipEmptyParts) : QStringList();
    for (const QString &path : embedded) {
        if (!QFileInfo(path).isReadable()) {
            qCInfo(mailSmtpLog) << "cannot read the embedded file" << path;
            return {SmtpOutcome::Kind::Refused, int(CURLE_READ_ERROR)};
        }
    }

    applyCommonOptions(transfer);
    const QByteArray from = m_account.senderAddress().toUtf8();
    transfer.keep << from;
    curl_easy_setopt(m_curl, CURLOPT_MAIL_FROM, transfer.keep.last().constData());
    for (const QString *list : {&email.to, &email.cc, &email.bcc})
        for (const QByteArray &rcpt : MailHeaders::envelopeRecipients(*list))
            transfer.recipients = curl_slist_append(transfer.recipients, rcpt.constData());
    curl_easy_setopt(m_curl, CURLOPT_MAIL_RCPT, transfer.recipients);

    QList<QByteArray> headers;
    headers << "Date: " + QDateTime::currentDateTime().toString(Qt::RFC2822Date).toLatin1();
    headers << "From: " + from;
    headers << "To: " + MailHeaders::addressList(email.to);
    if (!email.cc.isEmpty())
        headers << "Cc: " + MailHeaders::addressList(email.cc);
    headers << "Subject: " + MailHeaders::encodeText(email.subject);
    headers << "Message-ID: <" + QUuid::createUuid().toString(QUuid::WithoutBraces).toLatin1() +
                   "@orvala.mailrelay>";
    for (const QByteArray &h : headers)
        transfer.headers = curl_slist_append(transfer.headers, h.constData());
    curl_easy_setopt(m_curl, CURLOPT_HTTPHEADER, transfer.headers);

    transfer.mime = curl_mime_init(m_curl);
    if (!html) {
        curl_mimepart *part = curl_mime_addpart(transfer.mime);
        curl_mime_data(part, bodyText.constData(), size_t(bodyText.size()));
        curl_mime_type(part, "text/plain; charset=UTF-8");
        curl_mime_encoder(part, "quoted-printable");
    } else {
        curl_mime *alternative = curl_mime_init(m_curl);
        curl_mimepart *text = curl_mime_addpart(alternative);
        curl_mime_data(text, AlternativeText, CURL_ZERO_TERMINATED);
        curl_mime_type(text, "text/plain; charset=UTF-8");
        curl_mimepart *htmlPart = curl_mime_addpart(alternative);
        curl_mime_data(htmlPart, bodyText.constData(), size_t(bodyText.size()));
        curl_mime_type(htmlPart, "text/html; charset=UTF-8");
        curl_mime_encoder(htmlPart, "quoted-printable");
        curl_mimepart *holder = curl_mime_addpart(transfer.mime);
        curl_mime_subparts(holder, alternative);
        curl_mime_type(holder, "multipart/alternative");

        for (const QString &path : embedded) {
            const QString name = QFileInfo(path).fileName();
            const QByteArray mediaType = mediaTypeOf(path);
            const QByteArray encodedPath = QFile::encodeName(path);
            const QByteArray fileName = MailHeaders::withoutLineBreaks(name).toUtf8();
            curl_mimepart *part = curl_mime_addpart(transfer.mime);
            curl_mime_filedata(part, encodedPath.constData());
            curl_mime_filename(part, fileName.constData());
            curl_mime_type(part, mediaType.constData());
            curl_mime_encoder(part, "base64");
            curl_slist *partHeaders = nullptr;
            QByteArray quotedName = fileName;
            quotedName.replace('\\', "\\\\").replace('"', "\\\"");
            partHeaders = curl_slist_append(
                partHeaders,
                ("Content-Disposition: inline; filename=\"" + quotedName + '"').constData());
            partHeaders =
                curl_slist_append(partHeaders, ("Content-ID: <" + quotedName + '>').constData());
            curl_mime_headers(part, partHeaders, 1);
        }
    }
    curl_easy_setopt(m_curl, CURLOPT_MIMEPOST, transfer.mime);
    curl_easy_setopt(m_curl, CURLOPT_UPLOAD, 1L);
    return perform(transfer);
}

void CurlSmtpTransport::close()
{
    if (m_curl) {
        curl_easy_cleanup(m_curl);
        m_curl = nullptr;
    }
}

CurlSmtpLibrary::CurlSmtpLibrary(const std::atomic<bool> &cancel)
{
    for (auto &c : m_channels)
        c = std::make_unique<CurlSmtpTransport>(cancel);
}

CurlSmtpLibrary::~CurlSmtpLibrary()
{
    for (auto &c : m_channels)
        c.reset();
    if (m_attached)
        curl_global_cleanup();
}

bool CurlSmtpLibrary::attach()
{
    if (!m_attached)
        m_attached = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return m_attached;
}

SmtpTransport &CurlSmtpLibrary::channel(MailProvider provider)
{
    return *m_channels[channelOf(provider)];
}
