#pragma once

#include <functional>

#include <QObject>

class QWidget;

// Runs a window's activation step each time the window becomes active, and
// once when it is first shown: a desktop without a window manager may never
// activate a window. Where both happen, the step runs once.
class ActivationStep : public QObject
{
public:
    ActivationStep(QWidget *window, std::function<void()> step);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void fromShow();
    void fromActivation();
    void run();

    QWidget *m_window;
    std::function<void()> m_step;
    bool m_shown = false;
    bool m_activated = false;   // an activation has run the step since the show
    bool m_showStepRan = false; // the show ran the step; the next activation is the same
};
