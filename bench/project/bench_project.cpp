// A large project: 10 channels x 10 devices x 1000 tags (100 000 tags), each
// device holding a quarter of its tags itself and a quarter in each of three
// groups nested inside one another. Prints the time to save and load it, to
// import 100 000 CSV rows into one device, and the memory a tag takes. The
// last line is the load time alone.
#include "notifier.h"
#include "project.h"
#include "tagcsv.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int ChannelCount = 10;
constexpr int DevicesPerChannel = 10;
constexpr int TagsPerDevice = 1000;

class SilentNotifier : public Notifier
{
public:
    void showMessage(const QString &text, Icon) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool askYesNo(const QString &) override { return false; }
    QString getOpenFileName(const FileDialog &) override { return {}; }
    QString getSaveFileName(const FileDialog &) override { return {}; }
};

long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return 0;
}

void fillTags(TagList &tags, int count, int &number)
{
    for (int i = 0; i < count; ++i, ++number) {
        auto tag = std::make_shared<CModTag>();
        tag->TagName = QStringLiteral("Tag_%1").arg(number);
        tag->TagAddress = QString::number(400001 + number % 60000);
        tag->AddressNumber = 400001 + number % 60000;
        tag->Description = QStringLiteral("Pump %1 discharge pressure").arg(number % 97);
        tags.append(std::move(tag));
    }
}

void buildProject(Project &project)
{
    int number = 0;
    for (int c = 0; c < ChannelCount; ++c) {
        auto channel = std::make_shared<CModTCPChnl>();
        channel->name = QStringLiteral("Channel%1").arg(c + 1);
        for (int d = 0; d < DevicesPerChannel; ++d) {
            auto device = std::make_shared<CModTCPDev>();
            device->name = QStringLiteral("Device%1").arg(d + 1);
            device->DeviceId = d + 1;
            fillTags(device->tags, TagsPerDevice / 4, number);
            TagGroups *level = &device->groups;
            for (int depth = 0; depth < 3; ++depth) {
                auto group = std::make_shared<CModTagGroup>();
                group->name = QStringLiteral("Level%1").arg(depth + 1);
                fillTags(group->tags, TagsPerDevice / 4, number);
                level->push_back(group);
                level = &group->groups;
            }
            channel->devices.push_back(std::move(device));
        }
        project.addChannel(std::move(channel));
    }
    project.markModified();
}

} // namespace

int main()
{
    QTemporaryDir folder;
    SilentNotifier notifier;

    const long before = residentKilobytes();
    auto project = std::make_unique<Project>(notifier);
    buildProject(*project);
    const long after = residentKilobytes();
    const qsizetype tags = project->tagCount();

    const QString path = folder.filePath(QStringLiteral("large.drx"));
    QElapsedTimer timer;
    timer.start();
    if (!project->saveFile(path))
        return 1;
    const double saveSeconds = timer.nsecsElapsed() / 1e9;

    Project loaded(notifier);
    timer.restart();
    if (!loaded.loadFile(path))
        return 1;
    const double loadSeconds = timer.nsecsElapsed() / 1e9;
    if (loaded.tagCount() != tags)
        return 1;

    // 100 000 rows into one empty device, from a Unicode export of them all.
    TagList all;
    for (const auto &channel : loaded.channels()) {
        for (const auto &device : channel->devices) {
            for (const auto &tag : device->tags)
                all.append(tag);
            const TagGroups *level = &device->groups;
            while (!level->empty()) {
                for (const auto &tag : level->front()->tags)
                    all.append(tag);
                level = &level->front()->groups;
            }
        }
    }
    const QString csv = folder.filePath(QStringLiteral("all.csv"));
    if (!TagCsv::exportPlain(all, csv, TagCsv::Encoding::Unicode, notifier))
        return 1;
    TagList target;
    timer.restart();
    TagCsv::importPlain(target, csv, TagCsv::Encoding::Unicode, notifier);
    const double importSeconds = timer.nsecsElapsed() / 1e9;
    if (target.size() != all.size())
        return 1;

    std::printf("project: %lld tags in %d channels x %d devices, groups three deep; file %.1f MB\n",
                static_cast<long long>(tags), ChannelCount, DevicesPerChannel,
                QFile(path).size() / 1e6);
    std::printf("save: %.3f s\n", saveSeconds);
    std::printf("load: %.3f s\n", loadSeconds);
    std::printf("CSV import of %lld rows into one device: %.3f s\n",
                static_cast<long long>(target.size()), importSeconds);
    std::printf("memory per tag: %.0f bytes\n", (after - before) * 1024.0 / double(tags));
    std::printf("%.3f s to load %lld tags\n", loadSeconds, static_cast<long long>(tags));
    return 0;
}
