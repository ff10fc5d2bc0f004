#include <random>

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include "contacts/ContactImport.h"
#include "contacts/DuplicateIndex.h"
#include "contacts/Duplicates.h"
#include "store/ContactStore.h"
#include "tests/contacts/ContactsTestUtil.h"

using namespace contactstest;
using datafiles::record;

namespace {

std::vector<ContactRecord> recordsOf(const QByteArray &data)
{
    std::vector<ContactRecord> out;
    for (qsizetype at = 0; at + ContactRecord::Size <= data.size(); at += ContactRecord::Size)
        out.push_back(ContactRecord::fromBytes(QByteArrayView(data).sliced(at)));
    return out;
}

// "0 1 | 2 3 x": groups by position, x after a group that conflicts.
QString shown(const std::vector<DuplicateGroup> &groups)
{
    QStringList out;
    for (const DuplicateGroup &g : groups) {
        QStringList p;
        for (const qint64 n : g.positions)
            p << QString::number(n);
        out << p.join(u' ') + (g.mergeable ? QString() : QStringLiteral(" x"));
    }
    return out.join(QStringLiteral(" | "));
}

QString fixture(const char *name)
{
    return QString::fromUtf8(HALVEX_TESTDATA "/") + QLatin1String(name);
}

QStringList mobiles(const QByteArray &data)
{
    QStringList out;
    for (const ContactRecord &r : recordsOf(data))
        out << r.text(ContactRecord::Mobile).trimmed();
    return out;
}

} // namespace

class TestDuplicates : public QObject
{
    Q_OBJECT
private slots:
    void find_data();
    void find();
    void findScalesWithOneName();
    void indexAgreesWithEveryPair();
    void mergeCommand();
    void mergeRefusedWhenTheFileChanged();
    void fixtures_data();
    void fixtures();
    void threeExportsOfOnePhoneBook();
};

void TestDuplicates::find_data()
{
    QTest::addColumn<QByteArray>("data");
    QTest::addColumn<QString>("groups");
    const QByteArray ali = record(u"علي"_qs, u"رضايي"_qs, u"021"_qs, u"0912"_qs);
    QTest::newRow("none") << ali + record(u"علي"_qs, u"احمدي"_qs, u"021"_qs, u"0912"_qs) << "";
    QTest::newRow("same record twice") << ali + ali << "0 1";
    QTest::newRow("letters folded: yeh, kaf, ZWNJ, spaces")
        << record(u"كاوه"_qs, u"نيك‌نام"_qs, {}, u"0912"_qs) +
               record(u"  کاوه "_qs, u"نیکنام"_qs, {}, u"0912"_qs)
        << "0 1";
    QTest::newRow("a number empty on one side")
        << ali + record(u"علي"_qs, u"رضايي"_qs, {}, u"0912"_qs, 5, u"تهران"_qs) << "0 1";
    QTest::newRow("different mobiles are two people")
        << ali + record(u"علي"_qs, u"رضايي"_qs, u"021"_qs, u"0935"_qs) << "";
    QTest::newRow("joined through a record with no numbers: conflicting")
        << ali + record(u"علي"_qs, u"رضايي"_qs) + record(u"علي"_qs, u"رضايي"_qs, {}, u"0935"_qs)
        << "0 1 2 x";
    QTest::newRow("phone-only and mobile-only join")
        << record(u"A"_qs, {}, u"1"_qs) + record(u"A"_qs, {}, {}, u"2"_qs) +
               record(u"A"_qs, {}, u"3"_qs) + record(u"A"_qs, {}, u"1"_qs, u"2"_qs)
        << "0 1 2 3 x";
    QTest::newRow("different addresses conflict")
        << record(u"A"_qs, {}, u"1"_qs, {}, 1, u"x"_qs) +
               record(u"A"_qs, {}, u"1"_qs, {}, 2, u"y"_qs)
        << "0 1 x";
    QTest::newRow("groups in file order")
        << record(u"B"_qs) + ali + record(u"B"_qs) + ali + record(u"C"_qs) << "0 2 | 1 3";
}

void TestDuplicates::find()
{
    QFETCH(QByteArray, data);
    const std::vector<ContactRecord> records = recordsOf(data);
    const std::vector<DuplicateGroup> groups = Duplicates::find(records);
    QTEST(shown(groups), "groups");
    // Each record of a group is a duplicate of another of it.
    for (const DuplicateGroup &g : groups)
        for (const qint64 p : g.positions)
            QVERIFY(std::any_of(g.positions.begin(), g.positions.end(), [&](qint64 q) {
                return q != p && Duplicates::isDuplicate(records[size_t(p)], records[size_t(q)]);
            }));
}

void TestDuplicates::findScalesWithOneName()
{
    // A directory of one name and many numbers: no pair-by-pair comparison.
    std::vector<ContactRecord> records;
    for (int i = 0; i < ContactStore::MaxRecords; ++i)
        records.push_back(ContactRecord::fromBytes(
            record(u"A"_qs, u"B"_qs, {}, QString::number(10000000 + i / 2))));
    const std::vector<DuplicateGroup> groups = Duplicates::find(records);
    QCOMPARE(groups.size(), size_t(ContactStore::MaxRecords / 2));
    QVERIFY(std::all_of(groups.begin(), groups.end(), [](const DuplicateGroup &g) {
        return g.mergeable && g.positions.size() == 2 && g.positions[1] == g.positions[0] + 1;
    }));
}

void TestDuplicates::indexAgreesWithEveryPair()
{
    // Few names and numbers, so that names repeat and numbers meet in every way.
    std::mt19937 rng(22);
    const QString names[] = {u"علي"_qs, u"علی"_qs, u"كاوه"_qs, u"کاوه "_qs, u"A"_qs};
    const QString numbers[] = {{}, {}, u"1"_qs, u"2"_qs, u"3"_qs};
    for (int round = 0; round < 200; ++round) {
        DuplicateIndex index;
        std::vector<ContactRecord> kept;
        for (int i = 0; i < 30; ++i) {
            const ContactRecord r = ContactRecord::fromBytes(
                record(names[rng() % 5], {}, numbers[rng() % 5], numbers[rng() % 5]));
            const bool duplicate = std::any_of(kept.begin(), kept.end(), [&](const auto &k) {
                return Duplicates::isDuplicate(r, k);
            });
            QCOMPARE(index.contains(r), duplicate);
            QCOMPARE(index.addIfNew(r), !duplicate);
            if (!duplicate)
                kept.push_back(r);
        }
    }
}

void TestDuplicates::mergeCommand()
{
    QTemporaryDir dir;
    const QByteArray ali1 = record(u"علي"_qs, u"رضايي"_qs, {}, u"09121234567"_qs, 7);
    const QByteArray ali2 = record(u"علی"_qs, u"رضایی"_qs, u"66012345"_qs, {}, 8, u"تهران"_qs);
    const QByteArray other = record(u"سارا"_qs, u"کريمي"_qs, {}, u"09350000000"_qs, 9);
    const QByteArray ali3 =
        record(u"علي"_qs, u"رضايي"_qs, u"66012345"_qs, u"09121234567"_qs, 10, u"شيراز"_qs);
    const QByteArray bob1 = record(u"Bob"_qs, {}, {}, u"1"_qs, 11);
    const QByteArray bob2 = record(u"Bob"_qs, {}, {}, {}, 12);
    const QByteArray bob3 = record(u"Bob"_qs, {}, {}, u"2"_qs, 13);
    const QByteArray data = other + ali1 + bob1 + ali2 + bob2 + bob3;
    writeData(dir.path(), data + ali3.left(50)); // a torn record too

    // The listing: one record a line as list writes it, a blank line between groups.
    const Run listed = runTool({"duplicates", "--data", dir.path()});
    QCOMPARE(listed.status, 0);
    const QStringList lines = QString::fromUtf8(listed.out).split(u'\n');
    QCOMPARE(lines.size(), 7);
    QVERIFY(lines[0].startsWith(u"2\tعلي\tرضايي\t\t09121234567\t7"_qs));
    QVERIFY(lines[1].startsWith(u"4\tعلي\tرضايي\t66012345\t\t8\tتهران"_qs));
    QCOMPARE(lines[2], QString());
    QVERIFY(lines[3].startsWith(u"3\tBob"_qs));
    QVERIFY2(listed.errText().contains(u"رکوردهای 3، 5، 6"_qs), qPrintable(listed.errText()));

    const Run dry = runTool({"duplicates", "--merge", "--dry-run", "--data", dir.path()});
    QCOMPARE(dry.status, 0);
    QCOMPARE(dry.out, listed.out);
    QCOMPARE(readData(dir.path()), data + ali3.left(50));

    const Run merged = runTool({"duplicates", "--merge", "--data", dir.path()});
    QCOMPARE(merged.status, 0);
    // Ali keeps the second position and ID 7, with the phone and address filled
    // in; the conflicting Bobs stay as they were.
    const QByteArray aliMerged =
        record(u"علي"_qs, u"رضايي"_qs, u"66012345"_qs, u"09121234567"_qs, 7, u"تهران"_qs);
    QCOMPARE(readData(dir.path()), other + aliMerged + bob1 + bob2 + bob3);
    // Nothing is left to merge.
    const Run again = runTool({"duplicates", "--merge", "--data", dir.path()});
    QCOMPARE(again.status, 0);
    QCOMPARE(readData(dir.path()), other + aliMerged + bob1 + bob2 + bob3);
}

void TestDuplicates::mergeRefusedWhenTheFileChanged()
{
    QTemporaryDir dir;
    const QByteArray a = record(u"A"_qs, {}, {}, u"1"_qs, 1);
    const QByteArray b = record(u"A"_qs, {}, u"2"_qs, {}, 2);
    writeData(dir.path(), a + b);
    ContactStore store = ContactStore::atDataFolder(dir.path());
    const std::vector<ContactRecord> asRead = recordsOf(a + b);
    const std::vector<DuplicateGroup> groups = Duplicates::find(asRead);
    QCOMPARE(groups.size(), size_t(1));

    // Another writer changes a record in place: the merge writes nothing.
    const QByteArray changed = a + record(u"A"_qs, {}, u"3"_qs, {}, 2);
    writeData(dir.path(), changed);
    const StoreError e = Duplicates::merge(store, asRead, groups);
    QCOMPARE(e.kind(), StoreError::RecordChanged);
    QCOMPARE(readData(dir.path()), changed);

    // As read, it merges.
    writeData(dir.path(), a + b);
    QVERIFY(Duplicates::merge(store, asRead, groups).ok());
    QCOMPARE(readData(dir.path()), record(u"A"_qs, {}, u"2"_qs, u"1"_qs, 1));
}

void TestDuplicates::fixtures_data()
{
    QTest::addColumn<QString>("file");
    QTest::newRow("Android vCard 2.1") << fixture("android.vcf");
    QTest::newRow("iPhone vCard 3.0") << fixture("iphone.vcf");
    QTest::newRow("Google CSV") << fixture("google.csv");
}

void TestDuplicates::fixtures()
{
    QFETCH(QString, file);
    QTemporaryDir dir;
    const Run first = runTool({"import", "--data", dir.path(), file});
    QCOMPARE(first.status, 0);
    const QByteArray data = readData(dir.path());

    // Every Iranian mobile the file gives a contact is stored whole, in national form.
    QFile f(file);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(f.readAll());
    const int contacts = int(data.size() / ContactRecord::Size);
    QVERIFY(contacts >= 30);
    const QStringList stored = mobiles(data);
    static const QRegularExpression whole(QStringLiteral("^09\\d{9}$"));
    const qsizetype abroad = text.count(u"+44 "_qs);
    QCOMPARE(stored.filter(whole).size() + abroad, contacts);
    // Only a number from abroad is cut.
    QCOMPARE(first.errText().count(u"شماره موبايل: فقط"_qs), abroad);

    // A second import adds nothing and says so; asked to, it adds them all.
    const Run second = runTool({"import", "--data", dir.path(), file});
    QCOMPARE(second.status, 0);
    QCOMPARE(readData(dir.path()), data);
    QVERIFY2(QString::fromUtf8(second.out).contains(u"%1 مخاطب تکراری"_qs.arg(contacts)),
             second.out.constData());
    QCOMPARE(runTool({"import", "--add-duplicates", "--data", dir.path(), file}).status, 0);
    const QByteArray twice = readData(dir.path());
    QCOMPARE(twice.size(), 2 * data.size());
    QCOMPARE(twice.first(data.size()), data);
    QCOMPARE(mobiles(twice.sliced(data.size())), stored);
}

void TestDuplicates::threeExportsOfOnePhoneBook()
{
    // One phone book exported three ways: a person the files share in any
    // form of the numbers is stored once, and nothing is left to merge.
    QTemporaryDir dir;
    ContactStore store = ContactStore::atDataFolder(dir.path());
    QStringList said;
    ContactImport job(
        store, [&](const QString &) {}, [&](const QString &l) { said << l; });
    ContactImport::Plan plan;
    QList<ImportSource> sources;
    for (const char *name : {"android.vcf", "iphone.vcf", "google.csv"}) {
        QFile f(fixture(name));
        QVERIFY(f.open(QIODevice::ReadOnly));
        sources.append({QLatin1String(name), f.readAll()});
    }
    QVERIFY(job.prepare(sources, ContactImport::Auto, plan));
    QVERIFY(plan.duplicatesLeftOut > 0);
    QVERIFY(Duplicates::find(plan.records).empty());
    const auto kinds = plan.summary;
    QVERIFY(std::any_of(kinds.begin(), kinds.end(), [&](const QPair<QString, int> &k) {
        return k.second == plan.duplicatesLeftOut && k.first.contains(u"تکراری"_qs);
    }));
    QCOMPARE(job.commit(plan), 0);
    QCOMPARE(readData(dir.path()).size(), qint64(plan.records.size()) * ContactRecord::Size);
}

QTEST_GUILESS_MAIN(TestDuplicates)
#include "tst_duplicates.moc"
