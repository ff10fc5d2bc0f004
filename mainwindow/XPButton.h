#pragma once

#include <QColor>
#include <QIcon>

#include "mainwindow/PictureButton.h"

// Command button with a rounded border and a picture that changes under the mouse.
class XPButton : public PictureButton
{
    Q_OBJECT
    // The normal picture is the button's icon.
    Q_PROPERTY(QIcon normalPicture READ normalPicture WRITE setNormalPicture)
    Q_PROPERTY(QIcon hoverPicture READ hoverPicture WRITE setHoverPicture)
    Q_PROPERTY(QColor faceColor READ faceColor WRITE setFaceColor)
    Q_PROPERTY(QColor hoverFaceColor READ hoverFaceColor WRITE setHoverFaceColor)
    Q_PROPERTY(QColor textColor READ textColor WRITE setTextColor)
    Q_PROPERTY(QColor hoverTextColor READ hoverTextColor WRITE setHoverTextColor)
    Q_PROPERTY(int textEffect READ textEffect WRITE setTextEffect)

public:
    // Values of textEffect; any other value draws plain text.
    enum TextEffect
    {
        NoEffect = 0,
        Shadowed = 1,
        Raised = 2,
        Engraved = 3
    };
    Q_ENUM(TextEffect)

    explicit XPButton(QWidget *parent = nullptr);

    QIcon normalPicture() const { return icon(); }
    void setNormalPicture(const QIcon &picture) { setIcon(picture); }
    QIcon hoverPicture() const { return m_hoverPicture; }
    void setHoverPicture(const QIcon &picture);
    QColor faceColor() const { return m_faceColor; }
    void setFaceColor(const QColor &color);
    QColor hoverFaceColor() const { return m_hoverFaceColor; }
    void setHoverFaceColor(const QColor &color);
    QColor textColor() const { return m_textColor; }
    void setTextColor(const QColor &color);
    QColor hoverTextColor() const { return m_hoverTextColor; }
    void setHoverTextColor(const QColor &color);
    int textEffect() const { return m_textEffect; }
    void setTextEffect(int effect);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QIcon m_hoverPicture;
    QColor m_faceColor{Qt::white};
    QColor m_hoverFaceColor{Qt::white};
    QColor m_textColor{Qt::black};
    QColor m_hoverTextColor{Qt::blue};
    int m_textEffect = NoEffect;
};
