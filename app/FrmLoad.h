#pragma once

#include <memory>

#include <QPixmap>
#include <QWidget>

namespace Ui {
class FrmLoad;
}
class QTimer;
class ActivationStep;
class TodayDate;

// The splash: today's date on a picture for three seconds, then the hand-over
// to the login window.
class FrmLoad : public QWidget
{
    Q_OBJECT
public:
    static constexpr int HandOverMs = 3000;

    // The timer starts with the window; tests pass a shorter interval.
    explicit FrmLoad(TodayDate &date, int handOverMs = HandOverMs, QWidget *parent = nullptr);
    ~FrmLoad() override;

    QTimer *timer() const { return m_timer; }
    QString dateLine();

    // Writes the date line into Label1.
    void Form_Activate();

signals:
    // The splash has closed; the login window is next. Emitted once.
    void handedOver();

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    void Timer1_Timer();

    std::unique_ptr<Ui::FrmLoad> m_ui;
    TodayDate &m_date;
    QTimer *m_timer = nullptr;
    QPixmap m_background;
    ActivationStep *m_activation = nullptr;
    bool m_handedOver = false;
};
