#include "Skin.h"

#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QList>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QRegion>
#include <QTimer>
#include <QWindow>

namespace {

// The control's designed size and its picture box's: 4140 x 3270 and 4080 x 2640 twips.
constexpr QSize DesignSize(276, 218);
constexpr QSize PictureBoxSize(272, 176);

constexpr QRgb RgbBits = 0x00ffffff;

// A Wayland compositor takes a window mask as the input region only, so there the key colour
// is also left out of what is painted.
bool keysByPainting()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

// Every pixel of the image that is not exactly the key colour. Rows with the same runs are
// merged into one band, which keeps the region (and the window shape) small.
QRegion opaqueRegion(const QImage &image, QRgb key)
{
    key &= RgbBits;
    QList<QRect> rects;
    qsizetype bandStart = 0; // first rect of the band that the last row belongs to
    QList<QRect> row;
    for (int y = 0; y < image.height(); ++y) {
        const auto *line = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        row.clear();
        int x = 0;
        while (x < image.width()) {
            while (x < image.width() && (line[x] & RgbBits) == key)
                ++x;
            const int start = x;
            while (x < image.width() && (line[x] & RgbBits) != key)
                ++x;
            if (x > start)
                row.append(QRect(start, y, x - start, 1));
        }
        const qsizetype bandSize = rects.size() - bandStart;
        bool same = bandSize == row.size() && bandSize > 0 && rects[bandStart].bottom() == y - 1;
        for (qsizetype i = 0; same && i < row.size(); ++i)
            same = rects[bandStart + i].left() == row[i].left() &&
                   rects[bandStart + i].width() == row[i].width();
        if (same) {
            for (qsizetype i = 0; i < row.size(); ++i)
                rects[bandStart + i].setBottom(y);
        } else if (!row.isEmpty()) {
            bandStart = rects.size();
            rects.append(row);
        }
    }
    QRegion region;
    region.setRects(rects.constData(), int(rects.size()));
    return region;
}

QPixmap withoutKey(const QPixmap &picture, QRgb key)
{
    if (picture.isNull())
        return picture;
    key &= RgbBits;
    QImage image = picture.toImage().convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & RgbBits) == key)
                line[x] = 0;
        }
    }
    QPixmap keyed = QPixmap::fromImage(image);
    keyed.setDevicePixelRatio(picture.devicePixelRatio());
    return keyed;
}

bool isColour(const QWidget *widget, QRgb key)
{
    return (widget->palette().color(widget->backgroundRole()).rgb() & RgbBits) == (key & RgbBits);
}

} // namespace

Skin::Skin(QWidget *parent)
    : QWidget(parent), m_picture1(new QLabel(this)), m_timer1(new QTimer(this))
{
    setAutoFillBackground(true);
    followContainerBackground();

    // A frameless box in the system's window colours, as large as its picture.
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    QPalette colours = m_picture1->palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::Base));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::Text));
    m_picture1->setPalette(colours);
    m_picture1->setAutoFillBackground(true);
    m_picture1->setGeometry(QRect(QPoint(0, 0), PictureBoxSize));
    m_picture1->installEventFilter(this);

    // Fires once the host has set the properties and, normally, shown the window.
    m_timer1->setObjectName(QStringLiteral("Timer1"));
    m_timer1->setSingleShot(true);
    m_timer1->setInterval(1);
    connect(m_timer1, &QTimer::timeout, this, &Skin::applyTransparency);
    m_timer1->start();

    resize(DesignSize);
}

Skin::~Skin() = default;

void Skin::setPicture(const QPixmap &picture)
{
    const bool changed = picture.cacheKey() != m_picture.cacheKey();
    m_picture = picture;
    showPicture();
    fitToPicture();
    if (m_applied)
        reshape();
    if (changed)
        emit pictureChanged();
}

void Skin::setTranColor(const QColor &color)
{
    if (color == m_tranColor)
        return;
    m_tranColor = color;
    if (m_applied) {
        showPicture();
        reshape();
    }
    emit tranColorChanged();
}

void Skin::setDesignMode(bool on)
{
    m_designMode = on;
    m_dragging = false;
    if (on)
        m_timer1->stop();
    else if (!m_applied)
        m_timer1->start();
}

QSize Skin::sizeHint() const
{
    return m_picture.isNull() ? DesignSize : m_picture1->size();
}

void Skin::applyTransparency()
{
    m_timer1->stop();
    if (m_designMode)
        return;

    QWidget *container = window();
    if (m_container != container) {
        if (m_container && m_container != this)
            m_container->removeEventFilter(this);
        m_container = container;
        if (container != this)
            container->installEventFilter(this);
    }
    m_applied = true;

    // Like a layered window's colour key, the shape replaces any opacity set on the window.
    if (container->windowOpacity() < 1.0)
        container->setWindowOpacity(1.0);
    if (keysByPainting())
        container->setAttribute(Qt::WA_TranslucentBackground);
    followContainerBackground();
    showPicture();
    reshape();
}

bool Skin::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::ParentChange:
        followContainerBackground();
        break;
    case QEvent::Show:
        if (m_applied && m_container == this)
            reshape();
        break;
    default:
        break;
    }
    return QWidget::event(event);
}

bool Skin::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_picture1)
        return dragEvent(event);

    if (m_applied && watched == m_container) {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Resize:
            reshape();
            break;
        case QEvent::Paint:
            // A translucent window draws no background: draw it unless it is the key colour.
            if (keysByPainting() && !isColour(m_container, m_tranColor.rgb())) {
                QPainter painter(m_container);
                painter.fillRect(static_cast<QPaintEvent *>(event)->rect(),
                                 m_container->palette().color(m_container->backgroundRole()));
            }
            break;
        default:
            break;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Skin::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    fitToPicture();
    if (m_applied)
        reshape();
}

void Skin::followContainerBackground()
{
    QWidget *container = window();
    if (container == this)
        return;
    QPalette colours = palette();
    colours.setColor(QPalette::Window, container->palette().color(container->backgroundRole()));
    setPalette(colours);
}

void Skin::fitToPicture()
{
    m_picture1->move(0, 0);
    if (!m_picture.isNull())
        resize(m_picture1->size());
}

void Skin::showPicture()
{
    const bool keyed = m_applied && keysByPainting();
    const QRgb key = m_tranColor.rgb();
    m_picture1->setPixmap(keyed ? withoutKey(m_picture, key) : m_picture);
    if (!m_picture.isNull())
        m_picture1->resize(m_picture.deviceIndependentSize().toSize());
    // Where the key is painted out, backgrounds of the key colour are not painted either.
    setAutoFillBackground(!keyed || !isColour(this, key));
    m_picture1->setAutoFillBackground(!keyed || !isColour(m_picture1, key));
}

void Skin::reshape()
{
    QWidget *container = m_container;
    if (!container)
        return;
    // What a translucent window leaves unpainted stays the key colour, so it is cut away too.
    QImage image(container->size(), QImage::Format_RGB32);
    image.fill(m_tranColor.rgb());
    container->render(&image, QPoint(), QRegion(),
                      QWidget::DrawWindowBackground | QWidget::DrawChildren | QWidget::IgnoreMask);
    container->setMask(opaqueRegion(image, m_tranColor.rgb()));
}

bool Skin::dragEvent(QEvent *event)
{
    if (m_designMode)
        return false;
    QWidget *container = window();
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        const auto *press = static_cast<QMouseEvent *>(event);
        if (press->button() != Qt::LeftButton)
            return false;
        // The window manager moves the window if it can; with none (or offscreen) move it here.
        QWindow *handle = container->windowHandle();
        m_dragging = !(handle && handle->startSystemMove());
        m_dragOffset = press->globalPosition().toPoint() - container->pos();
        return true;
    }
    case QEvent::MouseMove: {
        const auto *move = static_cast<QMouseEvent *>(event);
        if (!m_dragging)
            return false;
        if (!(move->buttons() & Qt::LeftButton)) {
            m_dragging = false;
            return false;
        }
        container->move(move->globalPosition().toPoint() - m_dragOffset);
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton)
            m_dragging = false;
        return false;
    default:
        return false;
    }
}
