#include "mainwindow/PictureButton.h"

#include <algorithm>

#include <QKeyEvent>
#include <QStyle>

namespace {

constexpr int kGap = 4; // between picture and text
constexpr int kMarginX = 4;

} // namespace

PictureButton::PictureButton(int marginY, int captionSlack, QWidget *parent)
    : QAbstractButton(parent), m_marginY(marginY), m_captionSlack(captionSlack)
{
    setIconSize(QSize(16, 16));
}

QSize PictureButton::sizeHint() const
{
    ensurePolished();
    const QSize textSize = fontMetrics().size(Qt::TextShowMnemonic, text());
    int width = textSize.width() + m_captionSlack;
    int height = textSize.height();
    if (!icon().isNull()) {
        width += iconSize().width() + (text().isEmpty() ? 0 : kGap);
        height = std::max(height, iconSize().height());
    }
    return {width + 2 * kMarginX, height + 2 * m_marginY};
}

PictureButton::Content PictureButton::layoutContent(bool withPicture, QPoint shift) const
{
    const QRect area = rect().adjusted(kMarginX, 0, -kMarginX, 0).translated(shift);
    const int iconWidth = withPicture ? iconSize().width() : 0;
    const int gap = withPicture && !text().isEmpty() ? kGap : 0;
    const int textRoom = std::max(0, area.width() - iconWidth - gap);

    Content c;
    c.text = fontMetrics().elidedText(text(), Qt::ElideRight, textRoom, Qt::TextShowMnemonic);
    const int textWidth =
        std::min(textRoom, fontMetrics().size(Qt::TextShowMnemonic, c.text).width());
    const int left = area.x() + (area.width() - (iconWidth + gap + textWidth)) / 2;
    const bool rtl = layoutDirection() == Qt::RightToLeft;
    const int iconX = rtl ? left + textWidth + gap : left;
    const int textX = rtl ? left : left + iconWidth + gap;

    if (withPicture)
        c.picture = QRect(iconX, area.y() + (height() - iconSize().height()) / 2, iconWidth,
                          iconSize().height());
    c.caption = QRect(textX, area.y(), textWidth, height());
    c.textFlags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (!style()->styleHint(QStyle::SH_UnderlineShortcut, nullptr, this))
        c.textFlags |= Qt::TextHideMnemonic;
    return c;
}

QPalette::ColorGroup PictureButton::colorGroup() const
{
    return !isEnabled()       ? QPalette::Disabled
           : isActiveWindow() ? QPalette::Active
                              : QPalette::Inactive;
}

void PictureButton::setColor(QColor &member, const QColor &color)
{
    if (member == color)
        return;
    member = color;
    update();
}

void PictureButton::enterEvent(QEnterEvent *event)
{
    m_hovered = true;
    update();
    QAbstractButton::enterEvent(event);
}

void PictureButton::leaveEvent(QEvent *event)
{
    m_hovered = false;
    update();
    QAbstractButton::leaveEvent(event);
}

void PictureButton::keyPressEvent(QKeyEvent *event)
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
