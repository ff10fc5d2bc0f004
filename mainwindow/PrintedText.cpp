#include "mainwindow/PrintedText.h"

#include <QGlyphRun>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace {

constexpr QStringView kDigits = u"0123456789+-";
constexpr QChar kZwnj(0x200C);

// Past this many distinct words the cache is dropped and starts again: a
// directory of unique words must not keep them all.
constexpr qsizetype kMaxShapes = 20000;

bool asciiDigits(const QString &text, bool signs)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const bool digit = c >= u'0' && c <= u'9';
        if (!digit && !(signs && (c == u'+' || c == u'-')))
            return false;
    }
    return true;
}

} // namespace

PrintedText::PrintedText(const QFont &font, QPaintDevice *device, bool asText)
    : m_font(font), m_device(device), m_metrics(font, device), m_asText(asText)
{
    m_ascent = m_metrics.ascent();
    m_lineHeight = m_metrics.lineSpacing();
    m_space = m_metrics.horizontalAdvance(u' ');

    // Numbers are most of the cells and rarely repeat: set them from a table
    // of glyphs rather than shaping each one.
    static_assert(kDigits.size() == std::tuple_size_v<decltype(m_digits)>);
    for (qsizetype i = 0; i < kDigits.size(); ++i) {
        const Shape s = layOut(kDigits.mid(i, 1).toString(), Qt::LeftToRight);
        if (s.pieces.size() == 1 && s.pieces[0].glyphs.size() == 1)
            m_digits[size_t(i)] = {s.pieces[0].font, s.pieces[0].glyphs[0], s.width};
    }
}

qreal PrintedText::width(const QString &line, Qt::LayoutDirection dir)
{
    if (dir == Qt::LeftToRight || !wordByWord(line))
        return shape(line, dir).width;
    qreal w = 0;
    int n = 0;
    for (const QString &word : line.split(u' ', Qt::SkipEmptyParts))
        w += shape(word, dir).width + (n++ ? m_space : 0);
    return w;
}

QStringList PrintedText::wrap(const QString &text, qreal width, Qt::LayoutDirection dir)
{
    // Widths come from sums that round differently: a line that measures a
    // hair over still fits.
    const qreal fit = width + 0.05 * m_space;
    QStringList lines;
    QString line;
    qreal used = 0;
    for (const QString &word : text.split(u' ', Qt::SkipEmptyParts)) {
        const qreal w = shape(word, dir).width;
        if (!line.isEmpty() && used + m_space + w <= fit) {
            line += u' ' + word;
            used += m_space + w;
            continue;
        }
        if (!line.isEmpty())
            lines.append(line);
        line = word;
        used = w;
    }
    if (!line.isEmpty())
        lines.append(line);
    return lines;
}

void PrintedText::addLine(const QString &line, qreal left, qreal right, qreal y,
                          Qt::LayoutDirection dir)
{
    if (dir == Qt::LeftToRight || !wordByWord(line)) {
        const Shape &s = shape(line, dir);
        put(line, s, dir == Qt::RightToLeft ? right - s.width : left, y, dir);
        return;
    }
    qreal x = right;
    for (const QString &word : line.split(u' ', Qt::SkipEmptyParts)) {
        const Shape &s = shape(word, dir);
        x -= s.width;
        put(word, s, x, y, dir);
        x -= m_space;
    }
}

void PrintedText::flush(QPainter &painter)
{
    if (m_asText) {
        const Qt::LayoutDirection was = painter.layoutDirection();
        painter.setFont(m_font);
        for (const Run &run : m_runs) {
            painter.setLayoutDirection(run.dir);
            painter.drawText(run.origin, run.text);
        }
        painter.setLayoutDirection(was);
        m_runs.clear();
        return;
    }
    for (size_t i = 0; i < m_page.size(); ++i) {
        Piece &piece = m_page[i];
        if (piece.glyphs.isEmpty())
            continue;
        {
            QGlyphRun run;
            run.setRawFont(m_fonts[qsizetype(i)]);
            run.setGlyphIndexes(piece.glyphs);
            run.setPositions(piece.positions);
            painter.drawGlyphRun(QPointF(), run);
        }
        piece.glyphs.clear();
        piece.positions.clear();
    }
}

const PrintedText::Shape &PrintedText::shape(const QString &text, Qt::LayoutDirection dir)
{
    QHash<QString, Shape> &shapes = m_shapes[dir == Qt::RightToLeft];
    auto it = shapes.constFind(text);
    if (it != shapes.constEnd())
        return *it;
    if (shapes.size() >= kMaxShapes)
        shapes.clear();
    Shape s;
    if (!asciiDigits(text, dir == Qt::LeftToRight) || !shapeDigits(text, s))
        s = layOut(text, dir);
    return *shapes.insert(text, std::move(s));
}

bool PrintedText::shapeDigits(const QString &text, Shape &s) const
{
    s = Shape();
    for (QChar c : text) {
        const Glyph &g = m_digits[size_t(kDigits.indexOf(c))];
        if (g.font < 0)
            return false;
        if (s.pieces.empty() || s.pieces.back().font != g.font)
            s.pieces.push_back({g.font, {}, {}});
        s.pieces.back().glyphs.append(g.index);
        s.pieces.back().positions.append(QPointF(s.width, 0));
        s.width += g.advance;
    }
    return true;
}

PrintedText::Shape PrintedText::layOut(const QString &text, Qt::LayoutDirection dir)
{
    QTextLayout layout(text, m_font, m_device);
    QTextOption option(Qt::AlignLeft | Qt::AlignAbsolute);
    option.setTextDirection(dir);
    option.setWrapMode(QTextOption::NoWrap);
    layout.setTextOption(option);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    layout.endLayout();

    Shape s;
    if (!line.isValid())
        return s;
    s.width = line.naturalTextWidth();
    const QPointF baseline(line.naturalTextRect().left(), line.ascent());
    for (const QGlyphRun &run : layout.glyphRuns()) {
        Piece piece;
        piece.font = fontIndex(run.rawFont());
        piece.glyphs = run.glyphIndexes();
        piece.positions = run.positions();
        s.pieces.push_back(std::move(piece));
    }
    showHalfSpaces(layout, text, s);
    for (Piece &piece : s.pieces)
        for (QPointF &p : piece.positions)
            p -= baseline;
    return s;
}

// Shaping hides a half-space behind the space glyph, which a PDF names a tab
// and readers drop, joining the two parts of the word. An invisible glyph of
// its own keeps it in copied text: the font's, unless that is a visible mark,
// then the zero-width space's, which the PDF's text maps name a half-space.
// Readers take a glyph drawn where the one before it began for a second copy:
// it is drawn last, a hair towards the letter after it.
void PrintedText::showHalfSpaces(const QTextLayout &layout, const QString &text, Shape &s)
{
    for (qsizetype i = text.indexOf(kZwnj); i >= 0; i = text.indexOf(kZwnj, i + 1)) {
        for (const QGlyphRun &hidden : layout.glyphRuns(int(i), 1)) {
            const quint32 own = invisibleGlyph(hidden.rawFont());
            if (own == 0 || hidden.glyphIndexes().size() != 1)
                continue;
            const int font = fontIndex(hidden.rawFont());
            for (Piece &piece : s.pieces) {
                qsizetype g = piece.font == font ? 0 : piece.glyphs.size();
                while (g < piece.glyphs.size() && (piece.glyphs[g] != hidden.glyphIndexes()[0] ||
                                                   piece.positions[g] != hidden.positions()[0]))
                    ++g;
                if (g == piece.glyphs.size())
                    continue;
                QPointF at = piece.positions[g];
                if (g + 1 < piece.positions.size())
                    at.rx() += piece.positions[g + 1].x() < at.x() ? -m_space / 50 : m_space / 50;
                piece.glyphs.remove(g);
                piece.positions.remove(g);
                piece.glyphs.append(own);
                piece.positions.append(at);
                break;
            }
        }
    }
}

quint32 PrintedText::invisibleGlyph(const QRawFont &font)
{
    for (const char16_t c : {u'\u200C', u'\u200B'}) {
        const QList<quint32> glyph = font.glyphIndexesForString(QString(QChar(c)));
        if (glyph.size() == 1 && glyph[0] != 0 && font.pathForGlyph(glyph[0]).isEmpty() &&
            font.advancesForGlyphIndexes(glyph).value(0).isNull())
            return glyph[0];
    }
    return 0;
}

int PrintedText::fontIndex(const QRawFont &font)
{
    qsizetype i = m_fonts.indexOf(font);
    if (i < 0) {
        i = m_fonts.size();
        m_fonts.append(font);
        m_page.resize(size_t(m_fonts.size()));
    }
    return int(i);
}

void PrintedText::put(const QString &text, const Shape &shape, qreal x, qreal y,
                      Qt::LayoutDirection dir)
{
    // A picture replays each run of text from where it began, as if in a
    // left to right paragraph: words go one by one, spaces being lost at the
    // ends of runs, and right to left ones between marks, or a comma at their
    // end would move to their right.
    if (m_asText) {
        const QString mark(QChar(0x200F));
        m_runs.push_back({dir == Qt::RightToLeft ? mark + text + mark : text, QPointF(x, y), dir});
        return;
    }
    const QPointF at(x, y);
    for (const Piece &piece : shape.pieces) {
        Piece &page = m_page[size_t(piece.font)];
        page.glyphs.append(piece.glyphs);
        for (const QPointF &p : piece.positions)
            page.positions.append(p + at);
    }
}

// Whether the words of a right-to-left line can be shaped alone and set from
// the right: true unless something in it could reorder across words (left to
// right letters, bidi controls, or signs that join a number to its neighbours).
bool PrintedText::wordByWord(const QString &line)
{
    for (QChar c : line) {
        switch (c.direction()) {
        case QChar::DirL:
        case QChar::DirLRE:
        case QChar::DirLRO:
        case QChar::DirRLE:
        case QChar::DirRLO:
        case QChar::DirPDF:
        case QChar::DirLRI:
        case QChar::DirRLI:
        case QChar::DirFSI:
        case QChar::DirPDI:
        case QChar::DirES:
        case QChar::DirET:
            return false;
        default:
            break;
        }
    }
    return true;
}
