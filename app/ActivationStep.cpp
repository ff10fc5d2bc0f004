#include "app/ActivationStep.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

ActivationStep::ActivationStep(QWidget *window, std::function<void()> step)
    : QObject(window), m_window(window), m_step(std::move(step))
{
    window->installEventFilter(this);
}

bool ActivationStep::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window) {
        if (event->type() == QEvent::Show && !m_shown) {
            m_shown = true;
            // After the show has finished, so the step may close the window.
            QTimer::singleShot(0, this, &ActivationStep::fromShow);
        } else if (event->type() == QEvent::ActivationChange && m_window->isActiveWindow()) {
            fromActivation();
        }
    }
    return QObject::eventFilter(watched, event);
}

void ActivationStep::fromShow()
{
    if (m_activated || !m_window->isVisible())
        return;
    m_showStepRan = true;
    run();
}

void ActivationStep::fromActivation()
{
    m_activated = true;
    if (m_showStepRan) {
        m_showStepRan = false;
        return;
    }
    run();
}

void ActivationStep::run()
{
    m_step();
}
