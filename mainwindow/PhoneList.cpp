#include "mainwindow/PhoneList.h"

#include <algorithm>
#include <array>

#include <QBuffer>
#include <QCollator>
#include <QFileDevice>
#include <QIODevice>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>

#include "HalvexInfo.h"
#include "mainwindow/ContactListModel.h"
#include "mainwindow/FieldCaptions.h"
#include "mainwindow/PdfTextMaps.h"
#include "mainwindow/PrintedText.h"
#include "platform/TodayDate.h"

namespace {

constexpr int kColumns = 6;
const QString kListTitle = QStringLiteral("فهرست تلفن");
constexpr int kPdfResolution = 600;

const QColor kText(0x1a, 0x1a, 0x1a);
const QColor kMuted(0x4d, 0x55, 0x60);
const QColor kHeaderFill(0xdf, 0xe5, 0xee);
const QColor kStripe(0xf3, 0xf5, 0xf8);
const QColor kRule(0xc3, 0xcb, 0xd6);
const QColor kFrame(0x7d, 0x88, 0x99);

// Telephone, mobile and ID are read left to right.
Qt::LayoutDirection directionOf(int column)
{
    return column >= 2 && column <= 4 ? Qt::LeftToRight : Qt::RightToLeft;
}

QFont printFont(qreal points, bool bold)
{
    QFont f;
    f.setFamilies({QStringLiteral("Noto Sans Arabic UI"), QStringLiteral("Noto Sans")});
    f.setPointSizeF(points);
    f.setBold(bold);
    // Paper has no pixels to snap to: keep the design widths.
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
}

using RowLines = std::array<QStringList, kColumns>;

// Fonts and geometry of one paint, in device pixels from the top left of the
// page's paint rectangle; columns run right to left from its right edge.
struct Sheet
{
    PrintedText body, bold, title, small;
    qreal width, height, mm, padX, padY;
    std::array<qreal, kColumns + 1> edges{}; // edges[c] is the right of column c
    std::array<QStringList, kColumns> captions;
    qreal headerTop = 0, headerHeight = 0, bodyTop = 0, bodyBottom = 0;

    Sheet(QPaintDevice &device, bool asText, const std::vector<PhoneList::Row> &rows)
        : body(printFont(9, false), &device, asText), bold(printFont(9, true), &device, asText),
          title(printFont(14, true), &device, asText),
          small(printFont(8.5, false), &device, asText), width(device.width()),
          height(device.height()), mm(device.logicalDpiX() / 25.4), padX(1.6 * mm), padY(0.9 * mm)
    {
        const auto widestWord = [this](int column) {
            qreal w = 0;
            for (const QString &word : FieldCaptions::of(column).split(u' '))
                w = std::max(w, bold.width(word, Qt::RightToLeft));
            return w;
        };
        // Numbers get their longest value, and room for their caption on one
        // line when the page is wide; else the caption wraps between its words.
        const int digits[] = {8, 11, 6};
        std::array<qreal, 3> oneLine{}, wrapped{};
        qreal wide = 0, narrow = 0;
        for (int k = 0; k < 3; ++k) {
            const qreal value = body.width(QString(digits[k], u'0'), Qt::LeftToRight);
            wrapped[k] = std::max(value, widestWord(2 + k)) + 2 * padX;
            oneLine[k] =
                std::max(value, bold.width(FieldCaptions::of(2 + k), Qt::RightToLeft)) + 2 * padX;
            wide += oneLine[k];
            narrow += wrapped[k];
        }
        const bool roomy = wide <= 0.3 * width;
        const std::array<qreal, 3> &numbers = roomy ? oneLine : wrapped;
        const qreal rest = std::max(width - (roomy ? wide : narrow), 0.0);
        // Names and address share the rest. Lines break only between words,
        // so names get room for their longest word and their caption's, up to
        // a third of the rest each; the address keeps what remains.
        const auto widest = [&](QString PhoneList::Row::*field, int column) {
            qreal w = std::max(wrapped[0], widestWord(column) + 2 * padX);
            for (const PhoneList::Row &row : rows)
                for (const QString &word : (row.*field).split(u' ', Qt::SkipEmptyParts))
                    w = std::max(w, body.width(word, Qt::RightToLeft) + 2 * padX);
            return std::min(w, rest / 3);
        };
        const qreal name = std::max(rest * 0.16, widest(&PhoneList::Row::name, 0));
        const qreal family = std::max(rest * 0.2, widest(&PhoneList::Row::family, 1));
        const std::array<qreal, kColumns> widths = {
            name, family, numbers[0], numbers[1], numbers[2], std::max(rest - name - family, mm)};
        edges[0] = width;
        for (int c = 0; c < kColumns; ++c)
            edges[c + 1] = edges[c] - widths[c];
        edges[kColumns] = 0;

        headerTop = title.lineHeight() + small.lineHeight() + 2.5 * mm;
        qsizetype lines = 1;
        for (int c = 0; c < kColumns; ++c) {
            captions[c] = bold.wrap(FieldCaptions::of(c), textWidth(c), Qt::RightToLeft);
            lines = std::max(lines, captions[c].size());
        }
        headerHeight = lines * bold.lineHeight() + 2 * padY;
        bodyTop = headerTop + headerHeight;
        bodyBottom = height - small.lineHeight() - 2 * mm;
    }

    qreal textWidth(int column) const
    {
        return std::max(edges[column] - edges[column + 1] - 2 * padX, mm);
    }

    RowLines wrap(const PhoneList::Row &row)
    {
        const QString *cells[kColumns] = {&row.name,   &row.family, &row.phone,
                                          &row.mobile, &row.id,     &row.address};
        RowLines lines;
        for (int c = 0; c < kColumns; ++c)
            lines[c] = body.wrap(cells[c]->simplified(), textWidth(c), directionOf(c));
        return lines;
    }

    qreal heightOf(const RowLines &lines) const
    {
        qsizetype n = 1;
        for (const QStringList &l : lines)
            n = std::max(n, l.size());
        return n * body.lineHeight() + 2 * padY;
    }

    // Numbers and captions centred, the rest against the column's right.
    void addCell(PrintedText &text, const QStringList &lines, int column, qreal top, bool centred)
    {
        const Qt::LayoutDirection dir = directionOf(column);
        const qreal right = edges[column] - padX;
        const qreal left = edges[column + 1] + padX;
        qreal y = top + text.ascent();
        for (const QString &line : lines) {
            if (centred || dir == Qt::LeftToRight) {
                const qreal half = text.width(line, dir) / 2, mid = (left + right) / 2;
                text.addLine(line, mid - half, mid + half, y, dir);
            } else {
                text.addLine(line, left, right, y, dir);
            }
            y += text.lineHeight();
        }
    }

    void addCentred(PrintedText &text, const QString &line, qreal baseline)
    {
        const qreal half = text.width(line, Qt::RightToLeft) / 2;
        text.addLine(line, width / 2 - half, width / 2 + half, baseline, Qt::RightToLeft);
    }
};

// Whole rows to a page; one taller than a page still gets a page of its own.
bool layOutPages(Sheet &sheet, const std::vector<PhoneList::Row> &rows,
                 std::vector<PhoneList::Page> &pages, const std::function<bool(qint64)> &goOn)
{
    PhoneList::Page page;
    qreal used = 0;
    const qreal room = sheet.bodyBottom - sheet.bodyTop;
    const int count = int(rows.size());
    for (int r = 0; r < count; ++r) {
        const qreal h = sheet.heightOf(sheet.wrap(rows[size_t(r)]));
        if (page.rowCount > 0 && used + h > room) {
            pages.push_back(page);
            page = {r, 0};
            used = 0;
            if (!goOn(r))
                return false;
        }
        used += h;
        ++page.rowCount;
    }
    pages.push_back(page);
    return goOn(count);
}

void paintTable(QPainter &painter, Sheet &sheet, const std::vector<PhoneList::Row> &rows,
                const PhoneList::Page &page)
{
    QList<QLineF> rules;
    qreal y = sheet.bodyTop;
    painter.fillRect(QRectF(0, sheet.headerTop, sheet.width, sheet.headerHeight), kHeaderFill);
    for (int i = 0; i < page.rowCount; ++i) {
        const RowLines lines = sheet.wrap(rows[size_t(page.firstRow + i)]);
        const qreal h = sheet.heightOf(lines);
        if (i % 2)
            painter.fillRect(QRectF(0, y, sheet.width, h), kStripe);
        for (int c = 0; c < kColumns; ++c)
            sheet.addCell(sheet.body, lines[c], c, y + sheet.padY, false);
        y += h;
        if (i + 1 < page.rowCount)
            rules.append(QLineF(0, y, sheet.width, y));
    }
    for (int c = 1; c < kColumns; ++c)
        rules.append(QLineF(sheet.edges[c], sheet.headerTop, sheet.edges[c], y));
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(kRule, 0.2 * sheet.mm));
    painter.drawLines(rules);
    painter.setPen(QPen(kFrame, 0.3 * sheet.mm));
    painter.drawRect(QRectF(0, sheet.headerTop, sheet.width, y - sheet.headerTop));
    painter.drawLine(QLineF(0, sheet.bodyTop, sheet.width, sheet.bodyTop));
}

// Headings, title, date line and page number, then all text of the page.
void paintText(QPainter &painter, Sheet &sheet, const QString &dateLine, int page, int pages)
{
    for (int c = 0; c < kColumns; ++c) {
        const qreal slack = sheet.headerHeight - 2 * sheet.padY -
                            sheet.captions[c].size() * sheet.bold.lineHeight();
        sheet.addCell(sheet.bold, sheet.captions[c], c, sheet.headerTop + sheet.padY + slack / 2,
                      true);
    }
    sheet.addCentred(sheet.title, kListTitle, sheet.title.ascent());
    sheet.addCentred(sheet.small, dateLine, sheet.title.lineHeight() + sheet.small.ascent());
    sheet.addCentred(sheet.small, QStringLiteral("صفحه %1 از %2").arg(page + 1).arg(pages),
                     sheet.height - sheet.small.lineHeight() + sheet.small.ascent());

    painter.setPen(kText);
    sheet.body.flush(painter);
    sheet.bold.flush(painter);
    sheet.title.flush(painter);
    painter.setPen(kMuted);
    sheet.small.flush(painter);
}

} // namespace

PhoneList::Row PhoneList::rowOf(const ContactRecord &record)
{
    const auto shown = [&record](ContactRecord::Field field) {
        return ContactListModel::shownText(record, field);
    };
    return {shown(ContactRecord::Name),   shown(ContactRecord::Family),
            shown(ContactRecord::Phone),  shown(ContactRecord::Mobile),
            QString::number(record.ID()), shown(ContactRecord::Address)};
}

QString PhoneList::title()
{
    return kListTitle;
}

QString PhoneList::dateLine(TodayDate &date)
{
    return date.dateLine(QStringLiteral(" "));
}

PhoneList::PhoneList(QString dateLine, const std::vector<ContactRecord> &records)
    : m_dateLine(std::move(dateLine))
{
    m_rows.reserve(records.size());
    for (const ContactRecord &record : records)
        m_rows.push_back(rowOf(record));
    sortRows();
}

// By family, then name, in Persian order; the file's order among equals.
// Sort keys once, rather than collating each pair again.
void PhoneList::sortRows()
{
    const QCollator collator(QLocale(QLocale::Persian, QLocale::Iran));
    struct Key
    {
        QCollatorSortKey family, name;
        size_t row;
    };
    std::vector<Key> keys;
    keys.reserve(m_rows.size());
    for (size_t r = 0; r < m_rows.size(); ++r)
        keys.push_back({collator.sortKey(m_rows[r].family), collator.sortKey(m_rows[r].name), r});
    std::stable_sort(keys.begin(), keys.end(), [](const Key &a, const Key &b) {
        const int family = a.family.compare(b.family);
        return family < 0 || (family == 0 && a.name.compare(b.name) < 0);
    });
    std::vector<Row> sorted;
    sorted.reserve(m_rows.size());
    for (const Key &key : keys)
        sorted.push_back(std::move(m_rows[key.row]));
    m_rows = std::move(sorted);
}

bool PhoneList::paint(QPagedPaintDevice &device, const Progress &progress)
{
    m_pages.clear();
    QPainter painter;
    if (!painter.begin(&device))
        return false;
    // A print preview keeps its pages as pictures, where glyphs would become
    // paths: give it text.
    const bool asText =
        painter.paintEngine() && painter.paintEngine()->type() == QPaintEngine::Picture;
    Sheet sheet(device, asText, m_rows);

    const qint64 total = 2 * qint64(m_rows.size());
    const auto goOn = [&](qint64 done) { return !progress || progress(done, total); };
    std::vector<Page> pages;
    if (!layOutPages(sheet, m_rows, pages, goOn))
        return false;

    qint64 done = qint64(m_rows.size());
    const int count = int(pages.size());
    for (int n = 0; n < count; ++n) {
        if (n > 0 && !device.newPage())
            return false;
        paintTable(painter, sheet, m_rows, pages[size_t(n)]);
        paintText(painter, sheet, m_dateLine, n, count);
        done += pages[size_t(n)].rowCount;
        if (!goOn(done))
            return false;
    }
    if (!painter.end())
        return false;
    m_pages = std::move(pages);
    return true;
}

bool PhoneList::writePdf(QIODevice &device, const Progress &progress, QString &why)
{
    if (!device.isOpen() && !device.open(QIODevice::WriteOnly)) {
        why = QStringLiteral("فایل PDF برای نوشتن باز نشد: %1").arg(device.errorString());
        return false;
    }
    if (!device.isWritable()) {
        why = QStringLiteral("فایل PDF برای نوشتن باز نیست.");
        return false;
    }
    // Made whole in memory first: its text maps are put right before it is written.
    QByteArray bytes;
    bool stopped = false;
    bool painted = false;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter pdf(&buffer);
        pdf.setResolution(kPdfResolution);
        pdf.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                      QMarginsF(12, 12, 12, 12), QPageLayout::Millimeter));
        pdf.setTitle(kListTitle);
        pdf.setCreator(QStringLiteral("%1 %2").arg(QLatin1String(HalvexInfo::Name),
                                                   QLatin1String(HalvexInfo::Version)));
        painted = paint(pdf, [&](qint64 done, qint64 total) {
            stopped = progress && !progress(done, total);
            return !stopped;
        });
    }
    if (stopped) {
        why = QStringLiteral("نوشتن فایل PDF متوقف شد.");
        return false;
    }
    if (!painted) {
        why = QStringLiteral("صفحه‌های PDF ساخته نشد.");
        return false;
    }
    if (!PdfTextMaps::toLetters(bytes, why))
        return false;
    const auto *file = qobject_cast<const QFileDevice *>(&device);
    if (device.write(bytes) != bytes.size() || (file && file->error() != QFileDevice::NoError)) {
        why = QStringLiteral("فایل PDF نوشته نشد: %1").arg(device.errorString());
        return false;
    }
    return true;
}
