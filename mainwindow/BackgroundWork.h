#pragma once

#include <atomic>
#include <functional>
#include <memory>

#include <QElapsedTimer>
#include <QString>

class QWidget;
class ProgressWatch;

// Long work kept off the window's thread, so the clock and the ticker go on.
// Meanwhile the program takes no input but the progress dialog's, which shows
// once the work has taken half a second and can stop it.
class BackgroundWork
{
public:
    struct Control
    {
        std::atomic_bool stop{false};
        std::atomic<qint64> done{0};
        std::atomic<qint64> total{0}; // 0 while unknown
        // For a Progress callback: records the step, says whether to go on.
        bool step(qint64 d, qint64 t)
        {
            done.store(d, std::memory_order_relaxed);
            total.store(t, std::memory_order_relaxed);
            return !stop.load(std::memory_order_relaxed);
        }
    };

    static constexpr int ShowAfterMs = 500;

    // Runs work on a thread of its own and returns when it has ended; false
    // when the user stopped it.
    // canStop false: the work cannot be stopped halfway (a write), so the
    // dialog offers no button.
    static bool run(QWidget *parent, const QString &label,
                    const std::function<void(Control &)> &work, bool canStop = true);

    // Work that must stay on the window's thread (a print preview paints
    // there): call step() between slices.
    class Foreground
    {
    public:
        Foreground(QWidget *parent, QString label);
        ~Foreground();
        bool step(qint64 done, qint64 total);

    private:
        Control m_control;
        std::unique_ptr<ProgressWatch> m_watch;
        QElapsedTimer m_sincePump;
    };
};
