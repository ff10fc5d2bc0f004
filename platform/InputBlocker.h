#pragma once

#include <QObject>

// While it lives, no window of the program takes input from the user (keys,
// mouse, wheel, touch, drops, closing); painting and timers go on.
class InputBlocker : public QObject
{
public:
    InputBlocker();
    ~InputBlocker() override;

    static bool isInput(const QEvent *event);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
