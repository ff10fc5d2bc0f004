#pragma once

#include <functional>
#include <vector>

#include <QString>

#include "store/ContactRecord.h"

class QIODevice;
class QPagedPaintDevice;

// The whole directory as a printed phone list: a right-to-left table of the
// six fields under a title, headings and page numbers on every page, no row
// split between pages. Paints on a printer, a print preview or a PDF writer,
// from any thread.
class PhoneList
{
public:
    struct Row
    {
        QString name, family, phone, mobile, id, address;
    };
    // The rows of one page, in directory order.
    struct Page
    {
        int firstRow = 0;
        int rowCount = 0;
    };
    // Work done and total (two units a contact: laid out, then painted);
    // returning false stops.
    using Progress = std::function<bool(qint64 done, qint64 total)>;

    // Padding (leading and trailing spaces) removed as in the list page.
    static Row rowOf(const ContactRecord &record);

    // title: the program's name; dateLine: the window's date line.
    PhoneList(QString title, QString dateLine, std::vector<ContactRecord> records);

    // Lays out for the device's page layout and paints every page; progress
    // is called at least once a page laid out or painted. False when stopped
    // or the painter could not begin.
    bool paint(QPagedPaintDevice &device, const Progress &progress = {});
    // Of the last paint; none after one that failed.
    int pageCount() const { return int(m_pages.size()); }
    const std::vector<Page> &pages() const { return m_pages; }

    // An A4 portrait PDF of the list, fonts embedded, onto device (opened
    // for writing here if it is not open). why says what went wrong.
    bool writePdf(QIODevice &device, const Progress &progress, QString &why);

private:
    QString m_title;
    QString m_dateLine;
    std::vector<ContactRecord> m_records;
    std::vector<Page> m_pages;
};
