#pragma once

#include "projectfile.h"

#include <QObject>
#include <QString>

class Notifier;

// The open project: its channels in tree order, the path of its file and the
// modified flag, with the New, Open, Save, Save As and Close operations. The
// project owns its channels for good; views show them, runs use them.
class Project : public QObject
{
    Q_OBJECT
public:
    static constexpr int MaxChannels = 10;

    explicit Project(Notifier &notifier, QObject *parent = nullptr);

    const Channels &channels() const { return m_channels; }
    QString path() const { return m_path; }
    bool isModified() const { return m_modified; }
    qsizetype tagCount() const;

    // Every accepted creation, edit, deletion or import of a node or tag.
    void markModified();

    // False, after message 58068, when the project has its 10 channels.
    bool canAddChannel();
    void addChannel(std::shared_ptr<CModChnl> channel);
    std::shared_ptr<CModChnl> takeChannel(const CModChnl *channel);
    CModChnl *findChannel(QStringView name) const;
    // Resolves "Channel.Device.Group.Tag"; the tag takes `requestId`.
    CModTag *findTagByPath(QStringView path, qint32 requestId);

    // Discards the project, after offering to save a modified one. False when
    // the user cancelled the question, or chose to save and the project could
    // not be saved: nothing is discarded then.
    bool startNew();
    void open();
    void save();
    void saveAs();
    void close();

    bool loadFile(const QString &path);
    bool saveFile(const QString &path);

Q_SIGNALS:
    void modifiedChanged(bool modified);
    void pathChanged(const QString &path);
    // The channel list was replaced or emptied: views rebuild.
    void projectReset();
    // A project file was opened or saved under a new path: it goes to the top
    // of the recent-file list.
    void fileUsed(const QString &path);

private:
    void saveWithDialog(const QString &title);
    void setModified(bool modified);
    void setPath(const QString &path);

    Notifier &m_notifier;
    Channels m_channels;
    QString m_path;
    bool m_modified = false;
};
