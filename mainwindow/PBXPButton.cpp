#include "mainwindow/PBXPButton.h"

#include <QPainter>

namespace {

constexpr int kMarginY = 4;

} // namespace

PBXPButton::PBXPButton(QWidget *parent) : PictureButton(kMarginY, 0, parent) {}

void PBXPButton::setBackColor(const QColor &color)
{
    setColor(m_backColor, color);
}

void PBXPButton::setBackColorOver(const QColor &color)
{
    setColor(m_backColorOver, color);
}

void PBXPButton::setBackColorDown(const QColor &color)
{
    setColor(m_backColorDown, color);
}

void PBXPButton::setBorderColorOver(const QColor &color)
{
    setColor(m_borderColorOver, color);
}

void PBXPButton::setBorderColorDown(const QColor &color)
{
    setColor(m_borderColorDown, color);
}

void PBXPButton::setFontColorOver(const QColor &color)
{
    setColor(m_fontColorOver, color);
}

void PBXPButton::setCheckedColor(const QColor &color)
{
    setColor(m_checkedColor, color);
}

void PBXPButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection()); // reading order of the caption
    const bool enabled = isEnabled();
    const bool down = enabled && isDown();
    const bool over = enabled && hovered();
    const QPalette::ColorGroup group = colorGroup();
    const QColor normalText = palette().color(group, QPalette::ButtonText);

    QColor face = m_backColor;
    QColor border; // none while the button rests
    if (down) {
        face = m_backColorDown;
        border = m_borderColorDown;
    } else if (over) {
        face = m_backColorOver;
        border = m_borderColorOver;
    } else if (isChecked()) {
        face = m_checkedColor;
        border = m_borderColorDown;
    }
    const QColor textColor =
        (down || over) && m_fontColorOver.isValid() ? m_fontColorOver : normalText;

    painter.fillRect(rect(), face);
    if (border.isValid()) {
        painter.setPen(border);
        painter.drawRect(rect().adjusted(0, 0, -1, -1));
    }

    const Content c = layoutContent(!icon().isNull());
    if (!icon().isNull()) {
        const QIcon::Mode mode = !enabled         ? QIcon::Disabled
                                 : (down || over) ? QIcon::Active
                                                  : QIcon::Normal;
        icon().paint(&painter, c.picture, Qt::AlignCenter, mode,
                     isChecked() ? QIcon::On : QIcon::Off);
    }
    painter.setPen(textColor);
    painter.drawText(c.caption, c.textFlags, c.text);

    if (hasFocus()) {
        painter.setPen(QPen(normalText, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}
