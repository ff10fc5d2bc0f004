#pragma once

#include <QAbstractButton>
#include <QColor>

// What the command and the page buttons share: their size, where the picture
// and the caption go, the mouse-over state, and Enter as a click. Each kind
// paints only its own face.
class PictureButton : public QAbstractButton
{
    Q_OBJECT
public:
    QSize sizeHint() const override;

protected:
    // marginY is the room above and below the content; captionSlack widens
    // the caption for what a face draws around it.
    PictureButton(int marginY, int captionSlack, QWidget *parent);

    struct Content
    {
        QRect picture;
        QRect caption;
        QString text; // elided to fit
        int textFlags = 0;
    };
    // Picture and caption centred together; the picture leads, so it sits
    // right of the caption when the button reads right to left.
    Content layoutContent(bool withPicture, QPoint shift = {}) const;

    bool hovered() const { return m_hovered; }
    QPalette::ColorGroup colorGroup() const;
    void setColor(QColor &member, const QColor &color);

    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int m_marginY;
    int m_captionSlack;
    bool m_hovered = false;
};
