#include <QTest>
class X : public QObject { Q_OBJECT };
QTEST_APPLESS_MAIN(X)
#include "tst_syncscripted.moc"
