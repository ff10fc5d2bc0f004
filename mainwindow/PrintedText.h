#pragma once

#include <array>
#include <vector>

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QList>
#include <QPointF>
#include <QRawFont>
#include <QString>
#include <QStringList>

class QPainter;
class QTextLayout;
class QPaintDevice;

// Text of one font on a printed page. Words are shaped once and kept, and a
// page's glyphs go out as one glyph run per font when it is drawn: shaping
// every cell again, and a text object per cell, cost more than the rest of
// the page together.
class PrintedText
{
public:
    // asText: draw words as text, for a print preview, which records pages
    // as pictures and would keep every glyph as a path otherwise.
    PrintedText(const QFont &font, QPaintDevice *device, bool asText);

    qreal ascent() const { return m_ascent; }
    qreal lineHeight() const { return m_lineHeight; }

    qreal width(const QString &line, Qt::LayoutDirection dir);
    // Breaks at spaces only: a word wider than width keeps a line of its own.
    QStringList wrap(const QString &text, qreal width, Qt::LayoutDirection dir);

    // Adds one line of wrap() with its baseline at y, its right end at right
    // (right to left) or its left end at left (left to right).
    void addLine(const QString &line, qreal left, qreal right, qreal y, Qt::LayoutDirection dir);
    // Draws what was added, in the painter's pen, and forgets it.
    void flush(QPainter &painter);

private:
    struct Piece
    {
        int font = 0;
        QList<quint32> glyphs;
        QList<QPointF> positions; // from the left end of the baseline
    };
    struct Shape
    {
        qreal width = 0;
        std::vector<Piece> pieces;
    };
    struct Run
    {
        QString text;
        QPointF origin;
        Qt::LayoutDirection dir;
    };

    const Shape &shape(const QString &text, Qt::LayoutDirection dir);
    bool shapeDigits(const QString &text, Shape &s) const;
    Shape layOut(const QString &text, Qt::LayoutDirection dir);
    void showHalfSpaces(const QTextLayout &layout, const QString &text, Shape &s);
    static quint32 invisibleGlyph(const QRawFont &font);
    int fontIndex(const QRawFont &font);
    void put(const QString &text, const Shape &shape, qreal x, qreal y, Qt::LayoutDirection dir);
    static bool wordByWord(const QString &line);

    QFont m_font;
    QPaintDevice *m_device;
    QFontMetricsF m_metrics;
    bool m_asText;
    qreal m_ascent = 0;
    qreal m_lineHeight = 0;
    qreal m_space = 0;
    QHash<QString, Shape> m_shapes[2];
    QList<QRawFont> m_fonts;
    struct Glyph
    {
        int font = -1; // none: the character is shaped with its word
        quint32 index = 0;
        qreal advance = 0;
    };
    std::array<Glyph, 12> m_digits; // of kDigits: digits and signs
    std::vector<Piece> m_page;      // by font
    std::vector<Run> m_runs;
};
