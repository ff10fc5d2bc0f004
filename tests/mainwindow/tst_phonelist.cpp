#include <atomic>

#include <QBuffer>
#include <QFile>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include "mainwindow/PhoneList.h"
#include "mainwindow/PrintedText.h"
#include "platform/Fonts.h"
#include "tests/support/FixedTodayDate.h"

namespace {

const QString kDate = QStringLiteral("امروز ، سه شنبه ، 17 ، آذر 1405");

const char16_t *const kNames[] = {u"محمد",  u"علي",   u"زهرا",    u"سيد علي", u"نرگس",
                                  u"کوروش", u"پريسا", u"غلامرضا", u"مريم",    u"بابک"};
const char16_t *const kFamilies[] = {u"احمدي",   u"کريمي",  u"موسوي",        u"صادقي", u"يزداني",
                                     u"فراهاني", u"شيرازي", u"امامي کاشاني", u"نجفي",  u"آقايي"};

ContactRecord contact(int i, const QString &address)
{
    ContactRecord r;
    r.setText(ContactRecord::Name, QString::fromUtf16(kNames[i % 10]));
    r.setText(ContactRecord::Family, QString::fromUtf16(kFamilies[i / 10 % 10]));
    r.setText(ContactRecord::Phone, QString::number(21000000 + i * 37));
    r.setText(ContactRecord::Mobile, QStringLiteral("0912%1").arg(1000000 + i));
    r.setText(ContactRecord::Address, address);
    r.setID(qint16(i + 1));
    return r;
}

QString tool(const QString &name, const QStringList &args)
{
    QProcess p;
    p.start(name, args);
    if (!p.waitForFinished(120000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int pagesOf(const QString &pdf)
{
    static const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)\\n"));
    return pages.match(tool(QStringLiteral("pdfinfo"), {pdf})).captured(1).toInt();
}

// Text as pdftotext gives it, split into words at spaces and at the marks it
// puts around runs of each direction.
QStringList wordsOf(const QString &text)
{
    static const QRegularExpression space(QStringLiteral("[\\s\u200e\u200f\u202a-\u202e]+"));
    return text.split(space, Qt::SkipEmptyParts);
}

QString pdfText(const QString &pdf)
{
    return tool(QStringLiteral("pdftotext"),
                {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
}

struct Word
{
    QString text;
    QRectF box;
};

// Per page, the words and their boxes, in points from the top left.
QList<QList<Word>> boxesOf(const QString &pdf)
{
    static const QRegularExpression word(QStringLiteral(
        R"re(<word xMin="([\d.]+)" yMin="([\d.]+)" xMax="([\d.]+)" yMax="([\d.]+)">([^<]*)</word>)re"));
    QList<QList<Word>> pages;
    const QStringList parts =
        tool(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")})
            .split(QStringLiteral("<page "));
    for (qsizetype i = 1; i < parts.size(); ++i) {
        QList<Word> words;
        for (const QRegularExpressionMatch &m : word.globalMatch(parts[i]))
            words.append({m.captured(5),
                          QRectF(QPointF(m.captured(1).toDouble(), m.captured(2).toDouble()),
                                 QPointF(m.captured(3).toDouble(), m.captured(4).toDouble()))});
        pages.append(words);
    }
    return pages;
}

} // namespace

class TestPhoneList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();
    void sortsByFamilyThenName();
    void breaksOnlyAtSpaces_data();
    void breaksOnlyAtSpaces();
    void pdfTextIsLetters();
    void pdfHoldsEveryRow();
    void rowsStayWhole();
    void followsTheDevice();

private:
    QTemporaryDir m_dir;
};

void TestPhoneList::initTestCase()
{
    if (QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty())
        QSKIP("poppler-utils (pdfinfo, pdffonts, pdftotext) is not installed");
    Fonts::install();
}

// Family, then name, in Persian order (پ before ت, unlike code order), the
// file's Arabic yeh and kaf the same letters as the Persian ones, and equal
// rows in file order.
void TestPhoneList::sortsByFamilyThenName()
{
    const QList<std::pair<const char16_t *, const char16_t *>> inFileOrder = {
        {u"علي", u"یوسفی"},  {u"مریم", u"تهرانی"}, {u"زهرا", u"يزدي"},
        {u"بابک", u"كاظمي"}, {u"رضا", u"پارسا"},   {u"علی", u"یوسفي"},
        {u"سارا", u"کریمی"}, {u"آرش", u"یوسفی"},   {u"علي", u"یوسفی"}};
    std::vector<ContactRecord> records;
    for (const auto &[name, family] : inFileOrder) {
        ContactRecord r = contact(int(records.size()), {});
        r.setText(ContactRecord::Name, QString::fromUtf16(name));
        r.setText(ContactRecord::Family, QString::fromUtf16(family));
        records.push_back(r);
    }
    const PhoneList list(kDate, records);
    QStringList printed;
    for (const PhoneList::Row &row : list.rows())
        printed << row.family + u'/' + row.name + u'/' + row.id;
    QCOMPARE(printed, QStringList({QStringLiteral("پارسا/رضا/5"), QStringLiteral("تهرانی/مریم/2"),
                                   QStringLiteral("کاظمی/بابک/4"), QStringLiteral("کریمی/سارا/7"),
                                   QStringLiteral("یزدی/زهرا/3"), QStringLiteral("یوسفی/آرش/8"),
                                   QStringLiteral("یوسفی/علی/1"), QStringLiteral("یوسفی/علی/6"),
                                   QStringLiteral("یوسفی/علی/9")}));
}

// A line breaks at spaces only: a word wider than the column, half-space and
// all, keeps a line of its own rather than losing its last letters to the next.
void TestPhoneList::breaksOnlyAtSpaces_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qreal>("share"); // of the widest word
    QTest::addColumn<QStringList>("lines");
    const QString family = QStringLiteral("امامی‌کاشانی");
    QTest::newRow("half-space, narrow") << family << 0.5 << QStringList{family};
    QTest::newRow("half-space, just short") << family << 0.97 << QStringList{family};
    QTest::newRow("two words") << QStringLiteral("سید ") + family << 1.0
                               << QStringList{QStringLiteral("سید"), family};
    QTest::newRow("room for both")
        << QStringLiteral("سید علی") << 3.0 << QStringList{QStringLiteral("سید علی")};
    QTest::newRow("narrow number")
        << QStringLiteral("09127654321") << 0.3 << QStringList{QStringLiteral("09127654321")};
}

void TestPhoneList::breaksOnlyAtSpaces()
{
    QFETCH(QString, text);
    QFETCH(qreal, share);
    QFETCH(QStringList, lines);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QPdfWriter device(&buffer);
    QFont font(QStringLiteral("Noto Sans Arabic UI"));
    font.setPointSize(9);
    PrintedText printed(font, &device, false);
    const Qt::LayoutDirection dir = text.front().isDigit() ? Qt::LeftToRight : Qt::RightToLeft;
    qreal widest = 0;
    for (const QString &word : text.split(u' '))
        widest = std::max(widest, printed.width(word, dir));
    QCOMPARE(printed.wrap(text, share * widest, dir), lines);
}

// What pdftotext finds is letters: no presentation forms, the Persian forms
// of stored Arabic letters, ligatures and half-spaces in reading order, the
// title, and a space before the year.
void TestPhoneList::pdfTextIsLetters()
{
    const QStringList families = {QStringLiteral("حق‌شناس"), QStringLiteral("فلاحي"),
                                  QStringLiteral("كاظمي"), QStringLiteral("لاله‌زاری")};
    std::vector<ContactRecord> records;
    for (int i = 0; i < 40; ++i) {
        ContactRecord r = contact(i, QStringLiteral("کوچه لاله، پلاک %1").arg(i));
        r.setText(ContactRecord::Family, families[i % families.size()]);
        records.push_back(r);
    }
    FixedTodayDate date;
    PhoneList list(PhoneList::dateLine(date), records);
    const QString pdf = m_dir.filePath(QStringLiteral("letters.pdf"));
    QFile file(pdf);
    QString why;
    QVERIFY2(list.writePdf(file, {}, why), qPrintable(why));
    file.close();

    QString text = pdfText(pdf);
    for (QChar c : text)
        QVERIFY2(c.unicode() < 0xFB50 || c.unicode() > 0xFEFF,
                 qPrintable(QString::number(c.unicode(), 16)));
    static const QRegularExpression marks(QStringLiteral("[\u202a-\u202e]"));
    text.remove(marks);
    const QStringList words = wordsOf(text);
    for (const QString &word :
         {QStringLiteral("حق‌شناس"), QStringLiteral("فلاحی"), QStringLiteral("کاظمی"),
          QStringLiteral("لاله‌زاری"), QStringLiteral("لاله"), QStringLiteral("فهرست")})
        QVERIFY2(words.contains(word), qPrintable(word));
    QVERIFY(text.contains(QStringLiteral("فهرست تلفن")));
    QVERIFY(text.contains(QStringLiteral("آذر 1405")));
    QVERIFY(!text.contains(QStringLiteral("Halvex")));
}

void TestPhoneList::pdfHoldsEveryRow()
{
    std::vector<ContactRecord> records;
    for (int i = 0; i < 1000; ++i)
        records.push_back(contact(i, QStringLiteral("تهران، خيابان وليعصر، کوچه %1").arg(i)));
    ContactRecord padded = contact(0, QStringLiteral("  کوچه  ياس  "));
    padded.setText(ContactRecord::Name, QStringLiteral(" سيد  علي"));
    const PhoneList::Row row = PhoneList::rowOf(padded);
    QCOMPARE(row.name, QStringLiteral("سید  علی"));
    QCOMPARE(row.address, QStringLiteral("کوچه  یاس"));
    QCOMPARE(row.id, QStringLiteral("1"));

    // Written from a worker thread, as the window does.
    PhoneList list(kDate, records);
    const QString pdf = m_dir.filePath(QStringLiteral("list.pdf"));
    std::atomic<bool> written = false;
    qint64 calls = 0, lastDone = -1, lastTotal = -1;
    QString why;
    QThread *worker = QThread::create([&] {
        QFile file(pdf);
        written = list.writePdf(
            file,
            [&](qint64 done, qint64 total) {
                ++calls;
                lastDone = done;
                lastTotal = total;
                return true;
            },
            why);
    });
    worker->start();
    QVERIFY(worker->wait(QDeadlineTimer(120000)));
    delete worker;
    QVERIFY2(written, qPrintable(why));
    QCOMPARE(lastDone, 2000);
    QCOMPARE(lastTotal, 2000);
    QVERIFY(calls >= 2 * list.pageCount());

    QVERIFY(tool(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("595 x 842 pts (A4)")));
    QVERIFY(list.pageCount() > 1);
    QCOMPARE(pagesOf(pdf), list.pageCount());

    const QStringList fonts =
        tool(QStringLiteral("pdffonts"), {pdf}).split(u'\n', Qt::SkipEmptyParts).mid(2);
    QVERIFY(!fonts.isEmpty());
    for (const QString &font : fonts) {
        const QStringList columns = font.split(u' ', Qt::SkipEmptyParts);
        QVERIFY2(columns.size() > 5 && columns[columns.size() - 5] == u"yes", qPrintable(font));
    }

    // Each row on its page, once; headings and page number on every page.
    const QStringList pages = pdfText(pdf).split(u'\f');
    QVERIFY(pages.size() >= list.pageCount());
    QSet<QString> phonesSeen;
    int rows = 0;
    for (int p = 0; p < list.pageCount(); ++p) {
        const QStringList words = wordsOf(pages[p]);
        const QSet<QString> set(words.begin(), words.end());
        for (const QString &w :
             {QStringLiteral("فهرست"), QStringLiteral("آذر"), QStringLiteral("1405"),
              QStringLiteral("آدرس"), QStringLiteral("موبايل"), QStringLiteral("صفحه"),
              QStringLiteral("از"), QString::number(p + 1), QString::number(list.pageCount())})
            QVERIFY2(set.contains(w), qPrintable(QStringLiteral("page %1: %2").arg(p + 1).arg(w)));
        const PhoneList::Page &page = list.pages()[size_t(p)];
        QCOMPARE(page.firstRow, rows);
        for (int r = page.firstRow; r < page.firstRow + page.rowCount; ++r) {
            const PhoneList::Row &expected = list.rows()[size_t(r)];
            QStringList cells = {expected.phone, expected.mobile, expected.id};
            cells += wordsOf(expected.name + u' ' + expected.family);
            for (const QString &cell : cells)
                QVERIFY2(set.contains(cell),
                         qPrintable(QStringLiteral("row %1: %2").arg(r).arg(cell)));
            phonesSeen.insert(expected.phone);
            QCOMPARE(words.count(expected.mobile), 1);
        }
        rows += page.rowCount;
    }
    QCOMPARE(rows, 1000);
    QCOMPARE(phonesSeen.size(), 1000);
}

// Addresses of three lines and more on A5: each starts and ends with a mark
// of its row, and both marks must be on the row's page, above the page number.
void TestPhoneList::rowsStayWhole()
{
    std::vector<ContactRecord> records;
    for (int i = 0; i < 120; ++i) {
        const QString mark = QString::number(7000 + i);
        QString words = QStringLiteral("خيابان شهيد بهشتي کوچه نسترن ساختمان ياس طبقه دوم ");
        words = words.repeated(3).left(100 - 2 * (mark.size() + 1));
        records.push_back(contact(i, mark + u' ' + words.simplified() + u' ' + mark));
    }
    PhoneList list(kDate, records);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Portrait,
                                         QMarginsF(10, 10, 10, 10), QPageLayout::Millimeter));
        QVERIFY(list.paint(writer));
    }
    const QString pdf = m_dir.filePath(QStringLiteral("long.pdf"));
    QFile file(pdf);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(buffer.data());
    file.close();

    const QList<QList<Word>> pages = boxesOf(pdf);
    QCOMPARE(pages.size(), list.pageCount());
    QVERIFY(list.pageCount() > 3);
    for (int p = 0; p < pages.size(); ++p) {
        const QList<Word> &words = pages[p];
        const PhoneList::Page &page = list.pages()[size_t(p)];
        qreal footer = 0;
        for (const Word &w : words)
            if (w.text == QString::number(list.pageCount()))
                footer = std::max(footer, w.box.top());
        QVERIFY(footer > 0);
        for (int i = 0; i < int(list.rows().size()); ++i) {
            const QString mark = list.rows()[size_t(i)].address.section(u' ', 0, 0);
            QList<qreal> marks;
            for (const Word &w : words)
                if (w.text == mark)
                    marks.append(w.box.top());
            const bool here = i >= page.firstRow && i < page.firstRow + page.rowCount;
            QCOMPARE(marks.size(), here ? 2 : 0);
            if (here)
                QVERIFY(marks[0] != marks[1]); // on different lines: the address wrapped
        }
        for (const Word &w : words)
            if (w.box.top() < footer - 1)
                QVERIFY2(w.box.bottom() <= footer, qPrintable(w.text));
    }
}

// A landscape A5 printer, a print preview, no contacts, and a stop.
void TestPhoneList::followsTheDevice()
{
    std::vector<ContactRecord> records;
    for (int i = 0; i < 200; ++i)
        records.push_back(contact(i, QStringLiteral("قم، ميدان %1").arg(i)));
    PhoneList list(kDate, records);

    const QString pdf = m_dir.filePath(QStringLiteral("a5.pdf"));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(pdf);
    printer.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                      QMarginsF(8, 8, 8, 8), QPageLayout::Millimeter));
    QVERIFY(list.paint(printer));
    QVERIFY(tool(QStringLiteral("pdfinfo"), {pdf}).contains(QStringLiteral("595 x 420 pts")));
    QCOMPARE(pagesOf(pdf), list.pageCount());

    QPrinter previewed;
    previewed.setPageLayout(QPageLayout(QPageSize(QPageSize::A5), QPageLayout::Landscape,
                                        QMarginsF(8, 8, 8, 8), QPageLayout::Millimeter));
    QPrintPreviewWidget preview(&previewed);
    bool shown = false;
    connect(&preview, &QPrintPreviewWidget::paintRequested, this,
            [&](QPrinter *p) { shown = list.paint(*p); });
    preview.updatePreview();
    QVERIFY(shown);
    QCOMPARE(preview.pageCount(), list.pageCount());

    PhoneList empty(kDate, {});
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    QString why;
    QVERIFY(empty.writePdf(buffer, {}, why));
    QCOMPARE(empty.pageCount(), 1);

    int calls = 0;
    QBuffer stopped;
    QVERIFY(!list.writePdf(
        stopped, [&](qint64, qint64) { return ++calls < 2; }, why));
    QCOMPARE(calls, 2);
    QVERIFY(!why.isEmpty());
    QCOMPARE(list.pageCount(), 0);
}

QTEST_MAIN(TestPhoneList)
#include "tst_phonelist.moc"
