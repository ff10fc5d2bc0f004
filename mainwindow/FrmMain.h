#pragma once

#include <memory>

#include <QWidget>

#include "ContactStore.h"

namespace Ui {
class FrmMain;
}
class QTimer;
class ContactListModel;
class ImageList;
class Launcher;
class ModalBoxes;
class TodayDate;

// The working window: seven pages behind a column of page buttons, with the
// clock, the date line and the scrolling welcome text.
class FrmMain : public QWidget
{
    Q_OBJECT
public:
    static QString authorUrl();

    FrmMain(const QString &programDir, ModalBoxes &boxes, TodayDate &date, Launcher &launcher,
            QWidget *parent = nullptr);
    ~FrmMain() override;

    // Counts the records and proposes the next number. False when the data
    // file cannot be made ready; the user has been told why.
    bool Form_Load();

    ContactStore &store() { return m_store; }
    ContactListModel *listModel() const { return m_listModel; }
    QTimer *timer() const { return m_timer; }
    QString dateLine();

public slots:
    void Timer1_Timer();

protected:
    void changeEvent(QEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void showPage(int index);
    void setWelcomeBold(bool bold);
    void showStoreError(const StoreError &error);
    void proposeNextId(qint64 recordCount);

    void cmdAdd_Click();
    void cmdDisplay_Click();

    std::unique_ptr<Ui::FrmMain> m_ui;
    std::unique_ptr<ImageList> m_images;
    ContactStore m_store;
    ModalBoxes &m_boxes;
    TodayDate &m_date;
    Launcher &m_launcher;
    ContactListModel *m_listModel = nullptr;
    QTimer *m_timer = nullptr;
};
