#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include "sync/Credentials.h"
#include "sync/SyncState.h"
#include "tests/sync/SyncTestUtil.h"

using namespace synctest;

namespace {

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString &path, const QByteArray &bytes, mode_t mode = 0600)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    f.close();
    ::chmod(QFile::encodeName(path).constData(), mode);
}

struct stat statOf(const QString &path)
{
    struct stat st
    {
    };
    ::lstat(QFile::encodeName(path).constData(), &st);
    return st;
}

SyncState sample()
{
    SyncState s;
    s.book = QStringLiteral("https://dav.example/دفترچه/");
    s.tag = "\"ctag-1\"";
    s.token = "http://example/sync/1";
    s.entries.push_back({"/book/a.vcf", "\"e1\"", record("Ali", "Rezaei", "5550001", "", 1)});
    s.entries.push_back({"/book/b.vcf", "", record("Sara", "Karimi", "", "0912", 2),
                         record("Sara", "Karimi", "", "0913", 2)});
    s.written = QByteArray(32, '\x5a');
    s.ifWritten.push_back({"/book/a.vcf", "\"e2\"", record("Ali", "Rezaei", "5550009", "", 1)});
    return s;
}

} // namespace

// The files of the sync beside the data file: the state a sync leaves, and the
// password file the user gives.
class TestSyncFiles : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString path(const QString &name) const { return m_dir.path() + u'/' + name; }

private slots:
    // Whatever bytes a server puts in an ETag, a ctag, a token or an href,
    // they come back as they were and never break a line of the file.
    void valuesSurviveAnyByte_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("tab and newline") << QByteArray("\"a\tb\nc\r\"");
        QTest::newRow("backslash and percent") << QByteArray("W/\"a\\b%41%\"");
        QTest::newRow("NUL") << QByteArray("a\0b", 3);
        QTest::newRow("high bytes") << QByteArray("\xd8\xaf\xff\x80 x");
        QTest::newRow("equals sign alone") << QByteArray("=");
    }
    void valuesSurviveAnyByte()
    {
        QFETCH(QByteArray, value);
        SyncState s = sample();
        s.tag = value;
        s.token = value;
        s.book = QString::fromUtf8(value);
        s.entries[0].etag = value;
        s.entries[1].path = QString::fromUtf8(value);
        s.ifWritten[0].etag = value;
        QString why;
        QVERIFY2(s.save(path("state"), why), qPrintable(why));
        SyncState back;
        QVERIFY2(back.load(path("state"), why), qPrintable(why));
        QCOMPARE(back.toBytes(), s.toBytes());
        QCOMPARE(back.tag, value);
        QCOMPARE(back.token, value);
        QCOMPARE(back.book, s.book);
        QCOMPARE(back.entries.at(0).etag, value);
        QCOMPARE(back.entries.at(1).path, s.entries[1].path);
        QCOMPARE(back.entries.at(1).sent, s.entries[1].sent);
        QCOMPARE(back.ifWritten.at(0).etag, value);
        QCOMPARE(back.written, s.written);
    }

    // A damaged line stops the sync; skipping it would forget a pairing, and
    // the next run would take that card or record for new or deleted.
    void damagedLinesAreRefused_data()
    {
        QTest::addColumn<QByteArray>("from");
        QTest::addColumn<QByteArray>("to");
        const QByteArray b64 = record("Ali", "Rezaei", "5550001", "", 1).toByteArray().toBase64();
        QTest::newRow("raw tab in a value") << QByteArray("\"e1\"") << QByteArray("\"e\t1\"");
        QTest::newRow("raw space") << QByteArray("\"e1\"") << QByteArray("\"e 1\"");
        QTest::newRow("raw high byte") << QByteArray("\"e1\"") << QByteArray("\"e\xc3\xa9" "1\"");
        QTest::newRow("bad escape") << QByteArray("\"e1\"") << QByteArray("\"e%G1\"");
        QTest::newRow("escape cut at the end") << QByteArray("\"e1\"") << QByteArray("\"e1%4");
        QTest::newRow("record too short") << b64 << b64.left(b64.size() - 8);
        QTest::newRow("record not base64") << b64 << QByteArray(b64).replace(4, 1, "*");
        QTest::newRow("empty line") << QByteArray("\n/book/b.vcf") << QByteArray("\n\n/book/b.vcf");
        QTest::newRow("no path") << QByteArray("/book/b.vcf") << QByteArray();
        QTest::newRow("second separator") << QByteArray("=\n") << QByteArray("=\n=\n");
        QTest::newRow("bad hash") << QByteArray("\t5a5a") << QByteArray("\t5g5a");
        QTest::newRow("cut short") << QByteArray("\n") << QByteArray("");
    }
    void damagedLinesAreRefused()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QByteArray bytes = sample().toBytes();
        // The last match, so that "cut short" takes the final newline.
        const qsizetype at = bytes.lastIndexOf(from);
        QVERIFY(at >= 0);
        bytes.replace(at, from.size(), to);
        writeFile(path("damaged"), bytes);
        SyncState s;
        QString why;
        QVERIFY(!s.load(path("damaged"), why));
        QVERIFY(!why.isEmpty());
        QVERIFY(s.entries.empty() && s.ifWritten.empty() && s.book.isEmpty());
    }

    // A file of the first version, with its raw values, still loads.
    void firstVersionLoads()
    {
        const QByteArray b64 = record("Ali", "Rezaei", "5550001", "", 1).toByteArray().toBase64();
        writeFile(path("v1"), "halvex-sync 1\thttps://dav.example/کتاب/\t\"c%1\"\t\t" +
                                  QByteArray("tok%20en") + "\n/book/a%20b.vcf\t\"e%\"\t" + b64 +
                                  "\t\n");
        SyncState s;
        QString why;
        QVERIFY2(s.load(path("v1"), why), qPrintable(why));
        QCOMPARE(s.book, QStringLiteral("https://dav.example/کتاب/"));
        QCOMPARE(s.tag, QByteArray("\"c%1\""));
        QCOMPARE(s.token, QByteArray("tok en"));
        QCOMPARE(s.entries.at(0).path, QStringLiteral("/book/a b.vcf"));
        QCOMPARE(s.entries.at(0).etag, QByteArray("\"e%\""));
    }

    // Anything but a regular file, or one far too big, is refused before a
    // byte is read: a FIFO would wait for ever, a huge file fill the memory.
    void strangeStateFilesAreRefused_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("fifo") << "fifo";
        QTest::newRow("folder") << "folder";
        QTest::newRow("link") << "link";
        QTest::newRow("too big") << "big";
    }
    void strangeStateFilesAreRefused()
    {
        QFETCH(QString, kind);
        const QString p = path("strange-" + kind);
        const QByteArray n = QFile::encodeName(p);
        if (kind == "fifo")
            QCOMPARE(::mkfifo(n.constData(), 0600), 0);
        else if (kind == "folder")
            QCOMPARE(::mkdir(n.constData(), 0700), 0);
        else if (kind == "link")
            QVERIFY(QFile::link(path("elsewhere"), p));
        if (kind == "link" || kind == "big") {
            const QString real = kind == "big" ? p : path("elsewhere");
            writeFile(real, sample().toBytes());
            if (kind == "big")
                QVERIFY(QFile::resize(real, SyncState::MaxSize + 1)); // sparse: costs nothing
        }
        SyncState s;
        QString why;
        QVERIFY(!s.load(p, why));
        QVERIFY(why.contains(p));
        // Nor is one written over: the link's target and the FIFO stay.
        if (kind != "big") {
            const mode_t type = statOf(p).st_mode & S_IFMT;
            QVERIFY(!sample().save(p, why));
            QCOMPARE(statOf(p).st_mode & S_IFMT, type);
        }
        if (kind == "link")
            QCOMPARE(readFile(path("elsewhere")), sample().toBytes());
    }

    // A state the file already holds is not written again, unless its mode
    // needs mending.
    void unchangedNotRewritten()
    {
        const QString state = path("unchanged.sync");
        const QByteArray bytes = sample().toBytes();
        QString why;
        QVERIFY2(sample().save(state, why), qPrintable(why));
        const ino_t first = statOf(state).st_ino;
        QVERIFY(sample().save(state, why, &bytes));
        QCOMPARE(statOf(state).st_ino, first);
        const QByteArray other = bytes + "x";
        QVERIFY(sample().save(state, why, &other));
        QVERIFY(statOf(state).st_ino != first);
        QCOMPARE(::chmod(QFile::encodeName(state).constData(), 0644), 0);
        QVERIFY(sample().save(state, why, &bytes));
        QCOMPARE(statOf(state).st_mode & 07777, 0600u);
        QCOMPARE(readFile(state), bytes);
    }

    // Saved 0600 and owned by the folder's owner, whatever the old file was;
    // a link planted as the new copy is replaced, its target left alone.
    void savedOwnerOnly()
    {
        const QString dir = path("folder-of-nobody");
        QVERIFY(QDir().mkpath(dir));
        const QString state = dir + "/quorvel.dat.sync";
        writeFile(path("victim"), "victim");
        writeFile(state, "halvex-sync 2\t\t\t\t\n", 0644);
        QVERIFY(QFile::link(path("victim"), state + ".new"));
        const bool root = ::geteuid() == 0;
        if (root) // as root syncing a user's folder
            QCOMPARE(::chown(QFile::encodeName(dir).constData(), 65534, 65534), 0);
        QString why;
        QVERIFY2(sample().save(state, why), qPrintable(why));
        QCOMPARE(readFile(path("victim")), QByteArray("victim"));
        const struct stat st = statOf(state);
        QCOMPARE(st.st_mode & 07777, 0600u);
        QVERIFY(S_ISREG(st.st_mode));
        if (root)
            QCOMPARE(st.st_uid, uid_t(65534));
        QCOMPARE(readFile(state), sample().toBytes());
    }

    // The password file: a regular file of one's own, only its first line,
    // read from its first 4 KiB.
    void passwordFile_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("password"); // empty: refused
        QTest::newRow("first line") << "plain"
                                    << "s3cret";
        QTest::newRow("long rest") << "long rest"
                                   << "s3cret";
        QTest::newRow("first line too long") << "long line"
                                             << "";
        QTest::newRow("readable by others") << "0644"
                                            << "";
        QTest::newRow("fifo") << "fifo"
                              << "";
        QTest::newRow("folder") << "folder"
                                << "";
    }
    void passwordFile()
    {
        QFETCH(QString, kind);
        QFETCH(QString, password);
        const QString p = path("password-" + kind);
        const QByteArray n = QFile::encodeName(p);
        if (kind == "fifo")
            QCOMPARE(::mkfifo(n.constData(), 0600), 0);
        else if (kind == "folder")
            QCOMPARE(::mkdir(n.constData(), 0700), 0);
        else if (kind == "plain")
            writeFile(p, "s3cret\r\nsecond line\n");
        else if (kind == "long rest")
            writeFile(p, "s3cret\n" + QByteArray(1 << 20, 'x'));
        else if (kind == "long line")
            writeFile(p, QByteArray(Credentials::MaxRead + 1, 'x') + '\n');
        else
            writeFile(p, "s3cret\n", 0644);
        QString got, why;
        QCOMPARE(Credentials::fromFile(p, got, why), !password.isEmpty());
        QCOMPARE(got, password);
        QCOMPARE(why.isEmpty(), !password.isEmpty());
    }
};

QTEST_APPLESS_MAIN(TestSyncFiles)
#include "tst_syncfiles.moc"
