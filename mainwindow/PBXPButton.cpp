#include "PBXPButton.h"

#include <algorithm>

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

namespace {

constexpr int kGap = 4; // between picture and text
constexpr int kMarginX = 4;
constexpr int kMarginY = 4;

} // namespace

PBXPButton::PBXPButton(QWidget *parent) : QAbstractButton(parent)
{
    setIconSize(QSize(16, 16));
}

void PBXPButton::setColor(QColor &member, const QColor &color)
{
    if (member == color)
        return;
    member = color;
    update();
}

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

QSize PBXPButton::sizeHint() const
{
    ensurePolished();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    int width = textSize.width();
    int height = textSize.height();
    if (!icon().isNull()) {
        width += iconSize().width() + (text().isEmpty() ? 0 : kGap);
        height = std::max(height, iconSize().height());
    }
    return {width + 2 * kMarginX, height + 2 * kMarginY};
}

void PBXPButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection()); // reading order of the caption
    const bool enabled = isEnabled();
    const bool down = enabled && isDown();
    const bool over = enabled && m_hovered;
    const QPalette::ColorGroup group = !enabled           ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;
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

    // Picture and text are centred together; the picture leads, so it sits right of the
    // text when the button reads right to left.
    const QRect area = rect().adjusted(kMarginX, 0, -kMarginX, 0);
    const bool hasIcon = !icon().isNull();
    const int iconWidth = hasIcon ? iconSize().width() : 0;
    const int gap = hasIcon && !text().isEmpty() ? kGap : 0;
    const int textRoom = std::max(0, area.width() - iconWidth - gap);
    const QString shown =
        fontMetrics().elidedText(text(), Qt::ElideRight, textRoom, Qt::TextShowMnemonic);
    const int textWidth =
        std::min(textRoom, fontMetrics().size(Qt::TextShowMnemonic, shown).width());
    const int left = area.x() + (area.width() - (iconWidth + gap + textWidth)) / 2;
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int iconX = rtl ? left + textWidth + gap : left;
    const int textX = rtl ? left : left + iconWidth + gap;

    if (hasIcon) {
        const QRect iconRect(iconX, (height() - iconSize().height()) / 2, iconWidth,
                             iconSize().height());
        const QIcon::Mode mode = !enabled         ? QIcon::Disabled
                                 : (down || over) ? QIcon::Active
                                                  : QIcon::Normal;
        icon().paint(&painter, iconRect, Qt::AlignCenter, mode,
                     isChecked() ? QIcon::On : QIcon::Off);
    }

    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
        flags |= Qt::TextHideMnemonic;
    painter.setPen(textColor);
    painter.drawText(QRect(textX, 0, textWidth, height()), flags, shown);

    if (hasFocus()) {
        painter.setPen(QPen(normalText, 1, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(rect().adjusted(2, 2, -3, -3));
    }
}

void PBXPButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PBXPButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PBXPButton::keyPressEvent(QKeyEvent *event)
{
    // A focused button answers Enter as well as Space, as on Windows.
    const bool plain = (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && plain) {
        if (!event->isAutoRepeat())
            click();
        return;
    }
    QAbstractButton::keyPressEvent(event);
}
