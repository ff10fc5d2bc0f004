#include "mainwindow/BackgroundWork.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QEventLoop>
#include <QPointer>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWindow>

#include "platform/InputBlocker.h"

// Blocks the user's input everywhere but in the progress dialog, and shows
// that dialog once the work has gone on for a while.
class ProgressWatch : public QObject
{
public:
    ProgressWatch(QWidget *parent, QString label, BackgroundWork::Control &control, bool canStop)
        : m_parent(parent), m_label(std::move(label)), m_control(control), m_canStop(canStop)
    {
        m_clock.start();
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~ProgressWatch() override
    {
        QCoreApplication::instance()->removeEventFilter(this);
        delete m_dialog;
    }

    void update()
    {
        if (!m_dialog && m_clock.elapsed() >= BackgroundWork::ShowAfterMs)
            show();
        if (!m_dialog)
            return;
        const qint64 total = m_control.total.load(std::memory_order_relaxed);
        const qint64 done = m_control.done.load(std::memory_order_relaxed);
        if (total <= 0) {
            m_dialog->setRange(0, 0);
        } else {
            m_dialog->setRange(0, 1000);
            m_dialog->setValue(int(std::min<qint64>(done, total) * 1000 / total));
        }
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (!InputBlocker::isInput(event) || toDialog(watched))
            return QObject::eventFilter(watched, event);
        event->ignore();
        return true;
    }

private:
    bool toDialog(QObject *watched) const
    {
        if (!m_dialog)
            return false;
        if (watched == m_dialog->windowHandle())
            return true;
        auto *widget = qobject_cast<QWidget *>(watched);
        return widget && (widget == m_dialog || m_dialog->isAncestorOf(widget));
    }

    void show()
    {
        m_dialog = new QProgressDialog(m_label, QString(), 0, 0, m_parent);
        m_dialog->setObjectName(QStringLiteral("progress"));
        m_dialog->setLayoutDirection(Qt::RightToLeft);
        m_dialog->setWindowTitle(m_parent ? m_parent->window()->windowTitle() : QString());
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        if (m_canStop) {
            m_dialog->setCancelButtonText(QStringLiteral("انصراف"));
            QObject::connect(m_dialog, &QProgressDialog::canceled, m_dialog, [this] {
                m_control.stop = true;
                m_dialog->setLabelText(QStringLiteral("در حال توقف..."));
            });
        } else {
            m_dialog->setCancelButton(nullptr);
        }
        m_dialog->show();
    }

    QPointer<QWidget> m_parent;
    QString m_label;
    BackgroundWork::Control &m_control;
    bool m_canStop;
    QElapsedTimer m_clock;
    QProgressDialog *m_dialog = nullptr;
};

bool BackgroundWork::run(QWidget *parent, const QString &label,
                         const std::function<void(Control &)> &work, bool canStop)
{
    Control control;
    ProgressWatch watch(parent, label, control, canStop);
    std::unique_ptr<QThread> thread(QThread::create([&] { work(control); }));
    QEventLoop loop;
    // Queued to this thread, so it quits the loop even when the work ends first.
    QObject::connect(thread.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer tick;
    tick.setInterval(50);
    QObject::connect(&tick, &QTimer::timeout, &loop, [&watch] { watch.update(); });
    tick.start();
    thread->start();
    loop.exec();
    thread->wait();
    return !control.stop;
}

BackgroundWork::Foreground::Foreground(QWidget *parent, QString label)
    : m_watch(std::make_unique<ProgressWatch>(parent, std::move(label), m_control, true))
{
    m_sincePump.start();
}

BackgroundWork::Foreground::~Foreground() = default;

bool BackgroundWork::Foreground::step(qint64 done, qint64 total)
{
    m_control.step(done, total);
    // Between slices the window repaints and its clock ticks.
    if (m_sincePump.elapsed() >= 30) {
        m_sincePump.restart();
        m_watch->update();
        QCoreApplication::processEvents();
    }
    return !m_control.stop;
}
