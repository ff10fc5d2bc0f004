#pragma once

#include <functional>

#include <QObject>

#include "mainwindow/FrmMainServices.h"
#include "mainwindow/LastFolder.h"

class QAbstractItemView;
class QLabel;
class QMenu;
class QPoint;
class DirectoryPrint;
class DirectoryTransfer;
class SyncDialog;

// The list's context menu: import, export, the printed list, the search for
// duplicates and the sync, opened by the right button, the Menu key or Shift+F10.
class ListMenu : public QObject
{
    Q_OBJECT
public:
    // changed: the data file was written; it holds recordsAfter records.
    using Changed = std::function<void(qint64 recordsAfter)>;

    ListMenu(QAbstractItemView *list, const FrmMainServices &services, Changed changed,
             QWidget *window);

    QMenu *menu() const { return m_menu; }
    DirectoryTransfer *transfer() const { return m_transfer; }
    DirectoryPrint *print() const { return m_print; }

    void findDuplicates();
    // Not modal: the window stays usable while the sync runs.
    void openSync();
    SyncDialog *syncDialog() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showMenu(const QPoint &at);

    QAbstractItemView *m_list;
    FrmMainServices m_services;
    Changed m_changed;
    QWidget *m_window;
    LastFolder m_folder; // shared by every file dialog of the menu
    QMenu *m_menu = nullptr;
    DirectoryTransfer *m_transfer = nullptr;
    DirectoryPrint *m_print = nullptr;
    QLabel *m_syncStatus = nullptr;
};
