#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "store/ContactRecord.h"

class QIODevice;
class QPagedPaintDevice;
class TodayDate;

// The whole directory as a printed phone list: a right-to-left table of the
// six fields sorted by family and name, under a title, headings and page
// numbers on every page, no row split between pages. Paints on a printer, a
// print preview or a PDF writer, from any thread.
class PhoneList
{
public:
    struct Row
    {
        QString name, family, phone, mobile, id, address;
    };
    // The rows of one page, in the list's order.
    struct Page
    {
        int firstRow = 0;
        int rowCount = 0;
    };
    // Work done and total (two units a contact: laid out, then painted);
    // returning false stops.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // As the list page shows it: padding (leading and trailing spaces)
    // removed, Arabic yeh and kaf in their Persian forms.
    static Row rowOf(const ContactRecord &record);
    static QString title();
    // The window's date line, with a space before the year.
    static QString dateLine(TodayDate &date);

    PhoneList(QString dateLine, const std::vector<ContactRecord> &records);

    // In printed order.
    const std::vector<Row> &rows() const { return m_rows; }

    // Lays out for the device's page layout and paints every page; progress
    // is called at least once a page laid out or painted. False when stopped
    // or the painter could not begin.
    bool paint(QPagedPaintDevice &device, const Progress &progress = {});
    // Of the last paint; none after one that failed.
    int pageCount() const { return int(m_pages.size()); }
    const std::vector<Page> &pages() const { return m_pages; }

    // An A4 portrait PDF of the list, fonts embedded and text searchable,
    // onto device (opened for writing here if it is not open). why says what
    // went wrong.
    bool writePdf(QIODevice &device, const Progress &progress, QString &why);

private:
    void sortRows();

    QString m_dateLine;
    std::vector<Row> m_rows;
    std::vector<Page> m_pages;
};
