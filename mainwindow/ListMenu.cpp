#include "mainwindow/ListMenu.h"

#include <vector>

#include <QAbstractItemView>
#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QTimer>

#include "contacts/Duplicates.h"
#include "mainwindow/DirectoryPrint.h"
#include "mainwindow/DirectoryTransfer.h"
#include "mainwindow/DuplicatesDialog.h"
#include "mainwindow/SyncDialog.h"
#include "mainwindow/SyncSession.h"
#include "mainwindow/WindowTitle.h"
#include "platform/ModalBoxes.h"
#include "store/ContactStore.h"

ListMenu::ListMenu(QAbstractItemView *list, const FrmMainServices &services, Changed changed,
                   QWidget *window)
    : QObject(window), m_list(list), m_services(services), m_changed(std::move(changed)),
      m_window(window)
{
    m_transfer = new DirectoryTransfer(services, m_folder, m_changed, window);
    m_print = new DirectoryPrint(services, m_folder, window);

    m_menu = new QMenu(list);
    m_menu->setObjectName(QStringLiteral("mnuList"));
    m_menu->setLayoutDirection(Qt::RightToLeft);
    const auto add = [this](const char *name, const QString &text, auto *receiver, auto slot) {
        QAction *action = m_menu->addAction(text);
        action->setObjectName(QLatin1String(name));
        connect(action, &QAction::triggered, receiver, slot);
    };
    // The items' texts are those the menu has always had.
    add("mnuImport", QStringLiteral("وارد کردن از فايل..."), m_transfer,
        &DirectoryTransfer::chooseAndImport);
    add("mnuExport", QStringLiteral("ذخيره همه در فايل..."), m_transfer,
        &DirectoryTransfer::exportAll);
    m_menu->addSeparator();
    add("mnuPreview", QStringLiteral("پيش نمايش چاپ..."), m_print, &DirectoryPrint::preview);
    add("mnuPdf", QStringLiteral("ذخيره به صورت PDF..."), m_print, &DirectoryPrint::savePdf);
    m_menu->addSeparator();
    add("mnuDuplicates", QStringLiteral("يافتن تکراري ها..."), this, &ListMenu::findDuplicates);
    if (SyncSession *sync = services.sync) {
        m_menu->addSeparator();
        add("mnuSync", QStringLiteral("همگام سازي با سرور..."), this, &ListMenu::openSync);
        // The last sync's outcome, under the list.
        m_syncStatus = new QLabel(list->parentWidget());
        m_syncStatus->setObjectName(QStringLiteral("lblSync"));
        m_syncStatus->setLayoutDirection(Qt::RightToLeft);
        m_syncStatus->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        m_syncStatus->setGeometry(list->x(), list->geometry().bottom() + 6, list->width(), 18);
        m_syncStatus->setText(sync->status());
        connect(sync, &SyncSession::statusChanged, m_syncStatus, &QLabel::setText);
        connect(sync, &SyncSession::synced, this, [this] {
            qint64 after = 0;
            // A quiet sync leaves the list alone unless it is in sight.
            if ((syncDialog() || m_list->isVisible()) &&
                m_services.store.CountWholeRecords(after).ok())
                m_changed(after);
        });
        QTimer::singleShot(0, sync, [sync, window] { sync->start(window); });
    }

    // The right button and the Menu key come as a context menu request;
    // Shift+F10 is the other key for it.
    list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(list, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &at) { showMenu(m_list->viewport()->mapToGlobal(at)); });
    list->installEventFilter(this);
}

bool ListMenu::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_list && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_F10 && key->modifiers() == Qt::ShiftModifier) {
            const QRect item = m_list->visualRect(m_list->currentIndex());
            const QPoint at = item.isValid() ? item.center() : m_list->viewport()->rect().center();
            showMenu(m_list->viewport()->mapToGlobal(at));
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

void ListMenu::showMenu(const QPoint &at)
{
    m_menu->popup(at);
}

void ListMenu::findDuplicates()
{
    ContactStore &store = m_services.store;
    ModalBoxes &boxes = m_services.boxes;
    std::vector<ContactRecord> records;
    if (StoreError e = store.ReadAll(records)) {
        boxes.critical(m_window, e.message(), kTitle);
        return;
    }
    const std::vector<DuplicateGroup> groups = Duplicates::find(records);
    if (groups.empty()) {
        boxes.message(m_window, QStringLiteral("در دفترچه مخاطب تکراری نیست."), kTitle,
                      ModalBoxes::Information, ModalBoxes::Ok, ModalBoxes::AnswerOk);
        return;
    }
    DuplicatesDialog dialog(records, groups, m_window);
    if (boxes.exec(dialog) != QDialog::Accepted)
        return;
    const std::vector<DuplicateGroup> chosen = dialog.chosen();
    if (chosen.empty())
        return;
    if (StoreError e = Duplicates::merge(store, records, chosen)) {
        if (!e.tookEffect()) {
            boxes.critical(m_window,
                           QStringLiteral("ادغام انجام نشد و دفترچه تغییری نکرد.\n") + e.message(),
                           kTitle);
            return;
        }
        boxes.message(m_window, e.message(), kTitle, ModalBoxes::Exclamation, ModalBoxes::Ok,
                      ModalBoxes::AnswerOk);
    }
    qint64 after = 0;
    if (store.CountWholeRecords(after).ok())
        m_changed(after);
}

SyncDialog *ListMenu::syncDialog() const
{
    return m_window->findChild<SyncDialog *>(QString(), Qt::FindDirectChildrenOnly);
}

void ListMenu::openSync()
{
    SyncDialog *dialog = syncDialog();
    if (!dialog) {
        dialog = new SyncDialog(*m_services.sync, m_window);
        dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    dialog->show();
    dialog->raise();
    dialog->activateWindow();
}
