#include "mainwindow/XPButton.h"

#include <QPainter>

namespace {

constexpr int kMarginY = 5;
constexpr int kEffectRoom = 2; // a shadowed, raised or engraved caption is a pixel wider each way
constexpr qreal kRadius = 3.0;

QColor blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

} // namespace

XPButton::XPButton(QWidget *parent) : PictureButton(kMarginY, kEffectRoom, parent) {}

void XPButton::setHoverPicture(const QIcon &picture)
{
    m_hoverPicture = picture;
    update();
}

void XPButton::setFaceColor(const QColor &color)
{
    setColor(m_faceColor, color);
}

void XPButton::setHoverFaceColor(const QColor &color)
{
    setColor(m_hoverFaceColor, color);
}

void XPButton::setTextColor(const QColor &color)
{
    setColor(m_textColor, color);
}

void XPButton::setHoverTextColor(const QColor &color)
{
    setColor(m_hoverTextColor, color);
}

void XPButton::setTextEffect(int effect)
{
    if (m_textEffect == effect)
        return;
    m_textEffect = effect;
    update();
}

void XPButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection()); // reading order of the caption
    const bool enabled = isEnabled();
    const bool down = enabled && (isDown() || isChecked());
    const bool over = enabled && hovered();
    const QPalette::ColorGroup group = colorGroup();

    QColor face = over ? m_hoverFaceColor : m_faceColor;
    if (down)
        face = face.darker(112);
    QColor textColor = over || down ? m_hoverTextColor : m_textColor;
    QColor border = palette().color(group, QPalette::Mid);
    if (!enabled)
        textColor = palette().color(group, QPalette::ButtonText);
    else if (over || down)
        border = blend(m_hoverTextColor, palette().color(group, QPalette::Mid));

    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(border);
    painter.setBrush(face);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), kRadius, kRadius);
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Pressed content moves down by a pixel.
    const QIcon picture = over && !m_hoverPicture.isNull() ? m_hoverPicture : icon();
    const Content c = layoutContent(!picture.isNull(), down ? QPoint(1, 1) : QPoint());
    if (!picture.isNull())
        picture.paint(&painter, c.picture, Qt::AlignCenter,
                      enabled ? QIcon::Normal : QIcon::Disabled);

    const auto drawText = [&](int dx, int dy, const QColor &color) {
        painter.setPen(color);
        painter.drawText(c.caption.translated(dx, dy), c.textFlags, c.text);
    };
    const QColor light = palette().color(group, QPalette::Light);
    const QColor dark = palette().color(group, QPalette::Dark);
    if (enabled) {
        switch (m_textEffect) {
        case Shadowed:
            drawText(1, 1, dark);
            break;
        case Raised:
            drawText(-1, -1, light);
            drawText(1, 1, dark);
            break;
        case Engraved:
            drawText(-1, -1, dark);
            drawText(1, 1, light);
            break;
        default:
            break;
        }
    }
    drawText(0, 0, textColor);

    if (hasFocus()) {
        painter.setPen(QPen(m_textColor, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(3, 3, -4, -4));
    }
}
