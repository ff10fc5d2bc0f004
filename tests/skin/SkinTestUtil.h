#pragma once

#include <QColor>
#include <QPainter>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QtGlobal>

namespace SkinTest {

inline QtMessageHandler previousHandler = nullptr;

// The offscreen platform can neither shape windows nor fade them and says so each time; the
// widget still records the mask and the opacity, which is what the tests read.
inline void dropMaskWarning(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (text == QLatin1String("This plugin does not support setting window masks") ||
        text == QLatin1String("This plugin does not support setting window opacity"))
        return;
    previousHandler(type, context, text);
}

inline void quietMasks()
{
    previousHandler = qInstallMessageHandler(dropMaskWarning);
}

// A picture of one colour with a rectangle of another on it.
inline QPixmap picture(QSize size, QColor background, QRect shape, QColor shapeColour)
{
    QPixmap pixmap(size);
    pixmap.fill(background);
    QPainter painter(&pixmap);
    painter.fillRect(shape, shapeColour);
    return pixmap;
}

} // namespace SkinTest
