#pragma once

#include <QColor>
#include <QPixmap>
#include <QPoint>
#include <QPointer>
#include <QWidget>

#include "pelliform_export.h"

class QLabel;
class QTimer;

// A picture that shapes its borderless window: shortly after it is created, every pixel of the
// window in TranColor becomes see-through, and pressing on the picture drags the window.
class PELLIFORM_EXPORT Skin : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QPixmap Picture READ picture WRITE setPicture NOTIFY pictureChanged)
    Q_PROPERTY(QColor TranColor READ tranColor WRITE setTranColor NOTIFY tranColorChanged)

public:
    explicit Skin(QWidget *parent = nullptr);
    ~Skin() override;

    QPixmap picture() const { return m_picture; }
    // Shows the picture and sizes the control to it at once.
    void setPicture(const QPixmap &picture);

    // Pixels of exactly this colour (alpha ignored) are cut out of the window. Black by default.
    QColor tranColor() const { return m_tranColor; }
    void setTranColor(const QColor &color);

    // In design mode the control never shapes or drags its window (that window is Designer's).
    bool isDesignMode() const { return m_designMode; }
    void setDesignMode(bool on);

    // True once the window has been shaped; from then on it is reshaped when it is shown or
    // resized and when Picture or TranColor change.
    bool isApplied() const { return m_applied; }

    QSize sizeHint() const override;

public slots:
    // Shapes the window now. The control calls this itself on its first timer tick; call it
    // again after changing what the window shows.
    void applyTransparency();

signals:
    void pictureChanged();
    void tranColorChanged();

protected:
    bool event(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void followContainerBackground();
    void fitToPicture();
    void showPicture();
    void reshape();
    bool dragEvent(QEvent *event);

    QLabel *m_picture1 = nullptr;
    QTimer *m_timer1 = nullptr;
    QPixmap m_picture;
    QColor m_tranColor = QColor(0, 0, 0);
    QPointer<QWidget> m_container;
    QPoint m_dragOffset;
    bool m_dragging = false;
    bool m_designMode = false;
    bool m_applied = false;
};
