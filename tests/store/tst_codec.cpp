#include <QTest>

#include "store/Cp1256Codec.h"

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    void everyByteRoundTrips();
    void folding_data();
    void folding();
    void widthCountsStoredBytes();
    void storedFormMatchesKeyboardVariants();
};

void TestCodec::everyByteRoundTrips()
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all.append(char(b));
    const QString text = Cp1256Codec::decode(all);
    QCOMPARE(text.size(), 256);
    QCOMPARE(Cp1256Codec::encode(text), all);
    // Distinct bytes decode to distinct characters.
    QCOMPARE(QSet<QChar>(text.begin(), text.end()).size(), 256);
    // Spot checks against the published code page.
    QCOMPARE(Cp1256Codec::decodeByte(0x81), QChar(0x067E)); // peh
    QCOMPARE(Cp1256Codec::decodeByte(0x98), QChar(0x06A9)); // keheh
    QCOMPARE(Cp1256Codec::decodeByte(0x90), QChar(0x06AF)); // gaf
    QCOMPARE(Cp1256Codec::decodeByte(0xED), QChar(0x064A)); // yeh
    QCOMPARE(Cp1256Codec::decodeByte(0x9D), QChar(0x200C)); // ZWNJ
    QCOMPARE(Cp1256Codec::decodeByte(0x80), QChar(0x20AC));
}

void TestCodec::folding_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QByteArray>("stored");

    QTest::newRow("ascii") << QStringLiteral("Ali 12") << QByteArray("Ali 12");
    QTest::newRow("farsi yeh") << QString(QChar(0x06CC)) << QByteArray("\xED");
    QTest::newRow("arabic yeh") << QString(QChar(0x064A)) << QByteArray("\xED");
    QTest::newRow("persian digits") << QStringLiteral("۰۱۲۳۴۵۶۷۸۹") << QByteArray("0123456789");
    QTest::newRow("arabic-indic digits")
        << QStringLiteral("٠١٢٣٤٥٦٧٨٩") << QByteArray("0123456789");
    QTest::newRow("alef final form") << QString(QChar(0xFE8E)) << QByteArray("\xC7");
    QTest::newRow("farsi yeh medial form") << QString(QChar(0xFBFE)) << QByteArray("\xED");
    QTest::newRow("peh initial form") << QString(QChar(0xFB58)) << QByteArray("\x81");
    QTest::newRow("lam-alef ligature") << QString(QChar(0xFEFB)) << QByteArray("\xE1\xC7");
    QTest::newRow("unmapped cyrillic") << QStringLiteral("Жx") << QByteArray("?x");
    QTest::newRow("unmapped emoji is one ?") << QStringLiteral("a\U0001F600b") << QByteArray("a?b");
    QTest::newRow("lone surrogate") << QString(QChar(0xD800)) << QByteArray("?");
    QTest::newRow("ali in persian") << QStringLiteral("علی") << QByteArray("\xDA\xE1\xED");
}

void TestCodec::folding()
{
    QFETCH(QString, input);
    QFETCH(QByteArray, stored);
    const QByteArray got = Cp1256Codec::encode(input);
    QCOMPARE(got.toHex(' '), stored.toHex(' '));
    QVERIFY(!got.contains('\x1A'));
}

void TestCodec::widthCountsStoredBytes()
{
    QCOMPARE(Cp1256Codec::encodeField(u"abc", 6), QByteArray("abc   "));
    QCOMPARE(Cp1256Codec::encodeField(u"abcdefgh", 6), QByteArray("abcdef"));
    // An emoji is two UTF-16 units but one stored byte.
    QCOMPARE(Cp1256Codec::encodeField(u"\U0001F600\U0001F600abcd", 6), QByteArray("??abcd"));
    QCOMPARE(Cp1256Codec::encodeField(u"", 3), QByteArray("   "));
}

void TestCodec::storedFormMatchesKeyboardVariants()
{
    // Typed with FARSI YEH, stored with Arabic yeh: both give the same stored text.
    const QString persian = QStringLiteral("علی");
    const QString arabic = QStringLiteral("علي");
    QCOMPARE(Cp1256Codec::stored(persian), arabic);
    QCOMPARE(Cp1256Codec::stored(arabic), arabic);
    QCOMPARE(Cp1256Codec::stored(u"۱۲"), QStringLiteral("12"));
}

QTEST_APPLESS_MAIN(TestCodec)
#include "tst_codec.moc"
