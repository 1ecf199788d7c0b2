// Reads arbitrary bytes as an email relay payload: the first byte chooses an
// account or an email. A refused payload leaves the record as it was; one that
// reads writes back to bytes that read the same. The email's recipient lists
// then go through the address check, whose normal form must be stable: a
// normalized list normalizes to itself, and its mailboxes make valid headers.
#include "addresslist.h"
#include "mailheaders.h"
#include "mailpayload.h"

#include <cstdlib>

namespace {

template<class T, class Decode, class Encode>
bool check(QByteArrayView input, Decode decode, Encode encode, T &decoded)
{
    const QByteArray sentinel = encode(decoded);
    const ArchiveStatus status = decode(input, decoded);
    if (!status.ok()) {
        if (status.message.isEmpty() || status.offset < 0 || status.offset > input.size())
            std::abort();
        if (encode(decoded) != sentinel)
            std::abort(); // a refused payload must change nothing
        return false;
    }
    const QByteArray written = encode(decoded);
    T again;
    if (!decode(written, again).ok() || encode(again) != written)
        std::abort();
    return true;
}

void checkList(const QString &list)
{
    const std::optional<QString> normal = AddressList::normalized(list);
    if (!normal)
        return;
    if (AddressList::normalized(*normal) != normal)
        std::abort();
    const QByteArray header = MailHeaders::addressList(*normal);
    if (header.contains('\r') || header.contains('\n'))
        std::abort();
    for (const AddressList::Mailbox &m : AddressList::mailboxes(*normal))
        if (m.address.contains(u' ') || !m.address.contains(u'@'))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArrayView input(data + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        CSMTPDetails account;
        account.channelName = QStringLiteral("sentinel");
        check(input, MailPayload::decodeAccount, MailPayload::encodeAccount, account);
    } else {
        CMailDetails email;
        email.subject = QStringLiteral("sentinel");
        if (check(input, MailPayload::decodeEmail, MailPayload::encodeEmail, email)) {
            checkList(email.to);
            checkList(email.cc);
            if (MailHeaders::encodeText(email.subject).contains('\n'))
                std::abort();
        }
    }
    return 0;
}
