// Writes the seed corpus of the email relay's payload fuzzer: an account and
// a plain and an HTML email, each behind the byte that selects its kind.
#include "mailpayload.h"

#include <QDir>
#include <QFile>

#include <cstdio>

namespace {

bool writeSeed(const QDir &folder, const QString &name, const QByteArray &bytes)
{
    QFile file(folder.filePath(name));
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

} // namespace

int main(int argc, char **argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: mail_seed_corpus FOLDER\n");
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    if (!QDir().mkpath(folder.path()))
        return 1;
    CSMTPDetails account;
    account.channelName = QStringLiteral("GMail");
    account.user = QStringLiteral("plant@example.com");
    account.password = QStringLiteral("secret");
    CMailDetails plain;
    plain.channelName = QStringLiteral("Yahoo");
    plain.to = QStringLiteral("a@b.c, Ops Team <ops@plant.example>;");
    plain.cc = QStringLiteral("c@d");
    plain.subject = QStringLiteral("Überdruck");
    plain.body = QStringLiteral("text");
    CMailDetails html = plain;
    html.body = QStringLiteral("@/tmp/body.html");
    html.embeddedFiles = QStringLiteral("/tmp/a.png;/tmp/b.png");
    html.html = 1;
    const bool ok =
        writeSeed(folder, QStringLiteral("account"), '\1' + MailPayload::encodeAccount(account)) &&
        writeSeed(folder, QStringLiteral("plain"), '\0' + MailPayload::encodeEmail(plain)) &&
        writeSeed(folder, QStringLiteral("html"), '\0' + MailPayload::encodeEmail(html));
    return ok ? 0 : 1;
}
