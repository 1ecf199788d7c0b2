#pragma once

#include "commandcontext.h"

#include <QObject>

// The commands on tags: new, edit and delete in the tag list of the selected
// device or group, and the CSV exports and imports of one device's or group's
// tags and of every tag in the project.
class TagCommands : public QObject
{
    Q_OBJECT
public:
    TagCommands(const CommandContext &context, QObject *parent);

    // Tags are edited in configuration mode only, on a device or group; edit
    // and delete need a tag list that is not empty, the whole-project export
    // any selection.
    void updateActions();

    void newTag();
    void editTag();
    void deleteTag();
    void exportAllTags(bool unicode);
    void exportSelectedTags(bool unicode);
    void importSelectedTags(bool unicode);

Q_SIGNALS:
    // Tags were added, changed or deleted.
    void projectEdited();

private:
    CommandContext m_context;
};
