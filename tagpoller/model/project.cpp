#include "project.h"

#include "driverstrings.h"
#include "notifier.h"

#include <QFileInfo>

namespace {

Notifier::FileDialog projectDialog(const QString &title)
{
    return {title, QStringLiteral("Modbus driver files (*.drx)|*.drx|"), QStringLiteral("drx"),
            QString(), QString()};
}

} // namespace

Project::Project(Notifier &notifier, QObject *parent) : QObject(parent), m_notifier(notifier) {}

qsizetype Project::tagCount() const
{
    qsizetype count = 0;
    for (const auto &channel : m_channels) {
        for (const auto &device : channel->devices)
            count += TagTree::countAll(device->tags, device->groups);
    }
    return count;
}

void Project::markModified()
{
    setModified(true);
}

bool Project::canAddChannel()
{
    if (m_channels.size() < size_t(MaxChannels))
        return true;
    m_notifier.showMessage(
        DriverString::format(DriverString::TooManyChannels, {QString::number(MaxChannels)}),
        Notifier::Icon::Stop);
    return false;
}

void Project::addChannel(std::shared_ptr<CModChnl> channel)
{
    m_channels.push_back(std::move(channel));
}

std::shared_ptr<CModChnl> Project::takeChannel(const CModChnl *channel)
{
    for (auto it = m_channels.begin(); it != m_channels.end(); ++it) {
        if (it->get() == channel) {
            std::shared_ptr<CModChnl> taken = std::move(*it);
            m_channels.erase(it);
            return taken;
        }
    }
    return nullptr;
}

CModChnl *Project::findChannel(QStringView name) const
{
    for (const auto &channel : m_channels) {
        if (channel->name == name)
            return channel.get();
    }
    return nullptr;
}

CModTag *Project::findTagByPath(QStringView path, qint32 requestId)
{
    const qsizetype dot = path.indexOf(u'.');
    if (dot < 0)
        return nullptr;
    CModChnl *channel = findChannel(path.first(dot));
    return channel ? channel->findTagByPath(path.sliced(dot + 1), requestId) : nullptr;
}

bool Project::startNew()
{
    if (m_modified) {
        switch (m_notifier.askYesNoCancel(DriverString::text(DriverString::SaveExistingProject))) {
        case Notifier::Answer::Cancel:
            return false;
        case Notifier::Answer::Yes:
            save();
            // Discarding a project the user wanted saved would lose it.
            if (m_modified)
                return false;
            break;
        case Notifier::Answer::No:
            break;
        }
    }
    m_channels.clear();
    // The views hold pointers into the tree just cleared: they hear of it
    // before anything else is signalled, or the next handler meets freed nodes.
    Q_EMIT projectReset();
    setPath(QString());
    setModified(false);
    return true;
}

void Project::open()
{
    if (!startNew())
        return;
    Notifier::FileDialog dialog = projectDialog(QStringLiteral("Open Modbus Project"));
    const QString path = m_notifier.getOpenFileName(dialog);
    if (path.isEmpty())
        return;
    if (loadFile(path))
        Q_EMIT fileUsed(path);
}

void Project::save()
{
    if (!m_modified)
        return;
    if (m_path.isEmpty())
        saveWithDialog(QStringLiteral("Save Modbus Project"));
    else
        saveFile(m_path);
}

void Project::saveAs()
{
    if (!m_modified)
        return;
    saveWithDialog(QStringLiteral("Save Modbus Project As"));
}

void Project::saveWithDialog(const QString &title)
{
    Notifier::FileDialog dialog = projectDialog(title);
    if (!m_path.isEmpty())
        dialog.initialDirectory = QFileInfo(m_path).absolutePath();
    const QString path = m_notifier.getSaveFileName(dialog);
    if (path.isEmpty())
        return;
    if (saveFile(path))
        Q_EMIT fileUsed(path);
}

void Project::close()
{
    save();
    startNew();
}

bool Project::loadFile(const QString &path)
{
    ProjectFile::Loaded loaded = ProjectFile::load(path);
    if (loaded.error != ProjectFile::Error::None) {
        // A missing file (a stale recent entry) and a file too short to be a
        // project are passed over quietly; anything that claims to be a project
        // and is not gets a clear message. The open project stays either way.
        if (!loaded.message.isEmpty())
            m_notifier.showMessage(loaded.message, Notifier::Icon::Stop);
        return false;
    }
    m_channels = std::move(loaded.channels);
    Q_EMIT projectReset(); // first, as in startNew()
    setPath(path);
    setModified(false);
    return true;
}

bool Project::saveFile(const QString &path)
{
    const ProjectFile::Saved saved = ProjectFile::save(path, m_channels);
    if (saved.error != ProjectFile::Error::None) {
        // The previous file is untouched and the project stays modified.
        m_notifier.showMessage(DriverString::text(DriverString::ErrorSavingProject),
                               Notifier::Icon::Stop);
        return false;
    }
    setPath(path);
    setModified(false);
    return true;
}

void Project::setModified(bool modified)
{
    if (m_modified == modified)
        return;
    m_modified = modified;
    Q_EMIT modifiedChanged(modified);
}

void Project::setPath(const QString &path)
{
    if (m_path == path)
        return;
    m_path = path;
    Q_EMIT pathChanged(path);
}
