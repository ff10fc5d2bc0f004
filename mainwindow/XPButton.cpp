#include "XPButton.h"

#include <algorithm>

#include <QKeyEvent>
#include <QPainter>
#include <QStyle>

namespace {

constexpr int kGap = 4; // between picture and text
constexpr int kMarginX = 4;
constexpr int kMarginY = 5;
constexpr qreal kRadius = 3.0;

QColor blend(const QColor &a, const QColor &b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

} // namespace

XPButton::XPButton(QWidget *parent) : QAbstractButton(parent)
{
    setIconSize(QSize(16, 16));
}

void XPButton::setColor(QColor &member, const QColor &color)
{
    if (member == color)
        return;
    member = color;
    update();
}

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

QSize XPButton::sizeHint() const
{
    ensurePolished();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    int width = textSize.width() + 2; // room for a text effect
    int height = textSize.height();
    if (!icon().isNull()) {
        width += iconSize().width() + (text().isEmpty() ? 0 : kGap);
        height = std::max(height, iconSize().height());
    }
    return {width + 2 * kMarginX, height + 2 * kMarginY};
}

void XPButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setLayoutDirection(layoutDirection()); // reading order of the caption
    const bool enabled = isEnabled();
    const bool down = enabled && (isDown() || isChecked());
    const bool over = enabled && m_hovered;
    const QPalette::ColorGroup group = !enabled           ? QPalette::Disabled
                                       : isActiveWindow() ? QPalette::Active
                                                          : QPalette::Inactive;

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

    // Picture and text are centred together; the picture leads, so it sits right of the
    // text when the button reads right to left. Pressed content moves down by a pixel.
    const QRect area =
        rect().adjusted(kMarginX, 0, -kMarginX, 0).translated(down ? 1 : 0, down ? 1 : 0);
    const QIcon picture = over && !m_hoverPicture.isNull() ? m_hoverPicture : icon();
    const bool hasIcon = !picture.isNull();
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
        const QRect iconRect(iconX, area.y() + (height() - iconSize().height()) / 2, iconWidth,
                             iconSize().height());
        picture.paint(&painter, iconRect, Qt::AlignCenter,
                      enabled ? QIcon::Normal : QIcon::Disabled);
    }

    int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
        flags |= Qt::TextHideMnemonic;
    const QRect textRect(textX, area.y(), textWidth, height());
    const auto drawText = [&](int dx, int dy, const QColor &color) {
        painter.setPen(color);
        painter.drawText(textRect.translated(dx, dy), flags, shown);
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

void XPButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void XPButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void XPButton::keyPressEvent(QKeyEvent *event)
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
