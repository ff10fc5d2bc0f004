#pragma once

#include <QColor>

#include "mainwindow/PictureButton.h"

// Flat page button: no border until the mouse is over it or it is pressed.
class PBXPButton : public PictureButton
{
    Q_OBJECT
    Q_PROPERTY(QColor backColor READ backColor WRITE setBackColor)
    Q_PROPERTY(QColor backColorOver READ backColorOver WRITE setBackColorOver)
    Q_PROPERTY(QColor backColorDown READ backColorDown WRITE setBackColorDown)
    Q_PROPERTY(QColor borderColorOver READ borderColorOver WRITE setBorderColorOver)
    Q_PROPERTY(QColor borderColorDown READ borderColorDown WRITE setBorderColorDown)
    // An invalid colour keeps the normal text colour under the mouse.
    Q_PROPERTY(
        QColor fontColorOver READ fontColorOver WRITE setFontColorOver RESET resetFontColorOver)
    Q_PROPERTY(QColor checkedColor READ checkedColor WRITE setCheckedColor)

public:
    explicit PBXPButton(QWidget *parent = nullptr);

    QColor backColor() const { return m_backColor; }
    void setBackColor(const QColor &color);
    QColor backColorOver() const { return m_backColorOver; }
    void setBackColorOver(const QColor &color);
    QColor backColorDown() const { return m_backColorDown; }
    void setBackColorDown(const QColor &color);
    QColor borderColorOver() const { return m_borderColorOver; }
    void setBorderColorOver(const QColor &color);
    QColor borderColorDown() const { return m_borderColorDown; }
    void setBorderColorDown(const QColor &color);
    QColor fontColorOver() const { return m_fontColorOver; }
    void setFontColorOver(const QColor &color);
    void resetFontColorOver() { setFontColorOver(QColor()); }
    QColor checkedColor() const { return m_checkedColor; }
    void setCheckedColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_backColor{219, 216, 209};
    QColor m_backColorOver{182, 189, 210};
    QColor m_backColorDown{133, 146, 181};
    QColor m_borderColorOver{10, 36, 106};
    QColor m_borderColorDown{10, 36, 106};
    QColor m_fontColorOver;
    QColor m_checkedColor{213, 215, 216};
};
