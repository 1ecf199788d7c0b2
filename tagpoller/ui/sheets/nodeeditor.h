#pragma once

#include <QList>
#include <QString>

class QWidget;
class SettingsPage;

// One node's settings while its sheet is open: the working copy the pages
// edit, and what accepting the sheet does to the node. The sheets (wizard or
// tabs) only arrange the pages and decide when data are taken.
class NodeEditor
{
public:
    virtual ~NodeEditor() = default;

    // The sheet's caption, such as "TCP Channel Properties".
    virtual QString caption() const = 0;
    // True while the node has never been accepted: its sheet is a wizard.
    virtual bool isNew() const = 0;
    // The sheet's pages in order, over the working copy, owned by `parent`.
    virtual QList<SettingsPage *> createPages(QWidget *parent) = 0;
    // Gives the node the working copy's settings and clears isNew.
    virtual void writeBack() = 0;
};
