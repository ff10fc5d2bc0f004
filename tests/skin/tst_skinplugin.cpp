#include <QBuffer>
#include <QFileInfo>
#include <QPluginLoader>
#include <QTest>
#include <QTimer>
#include <QtUiPlugin/QDesignerCustomWidgetInterface>
#ifdef HAVE_QUILOADER
#include <QUiLoader>
#endif

#include "Skin.h"
#include "tests/skin/SkinTestUtil.h"

// The Designer plugin, loaded from the built file as Designer loads it.
class TestSkinPlugin : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void describesSkin();
    // Runs before Designer's initialisation below: the plugin instance is shared.
    void uiLoaderCreatesWorkingSkin();
    void createsWorkingSkinOutsideDesigner();
    void createsInertSkinInDesigner();

private:
    QPluginLoader m_loader{QStringLiteral(PELLIFORM_DESIGNER_PLUGIN)};
    QDesignerCustomWidgetInterface *m_plugin = nullptr;
};

void TestSkinPlugin::initTestCase()
{
    SkinTest::quietMasks();
    QVERIFY2(m_loader.load(), qPrintable(m_loader.errorString()));
    QCOMPARE(m_loader.metaData().value(QLatin1String("IID")).toString(),
             QStringLiteral("org.qt-project.Qt.QDesignerCustomWidgetInterface"));
    m_plugin = qobject_cast<QDesignerCustomWidgetInterface *>(m_loader.instance());
    QVERIFY(m_plugin);
}

void TestSkinPlugin::describesSkin()
{
    QCOMPARE(m_plugin->name(), QStringLiteral("Skin"));
    QCOMPARE(m_plugin->includeFile(), QStringLiteral("Skin.h"));
    QCOMPARE(m_plugin->group(), QStringLiteral("Pelliform"));
    QVERIFY(!m_plugin->isContainer());
    QVERIFY(!m_plugin->isInitialized());
    const QString xml = m_plugin->domXml();
    QVERIFY(xml.contains(QLatin1String(R"(<widget class="Skin" name="Skin1">)")));
    QVERIFY(xml.contains(QLatin1String("<width>276</width><height>218</height>")));
}

void TestSkinPlugin::uiLoaderCreatesWorkingSkin()
{
#ifdef HAVE_QUILOADER
    QUiLoader loader;
    loader.clearPluginPaths();
    loader.addPluginPath(QFileInfo(QStringLiteral(PELLIFORM_DESIGNER_PLUGIN)).absolutePath());
    QVERIFY(loader.availableWidgets().contains(QStringLiteral("Skin")));

    QByteArray ui = R"(<ui version="4.0"><class>Form</class>
<widget class="QWidget" name="Form">
 <widget class="Skin" name="Skin1">
  <property name="Picture"><pixmap>:/skintest/picture.xpm</pixmap></property>
  <property name="TranColor"><color><red>255</red><green>255</green><blue>255</blue></color></property>
 </widget>
</widget></ui>)";
    QBuffer buffer(&ui);
    std::unique_ptr<QWidget> form(loader.load(&buffer));
    QVERIFY2(form, qPrintable(loader.errorString()));
    auto *skin = form->findChild<Skin *>(QStringLiteral("Skin1"));
    QVERIFY(skin);
    QCOMPARE(skin->size(), QSize(24, 16));
    QCOMPARE(skin->tranColor(), QColor(255, 255, 255));
    QVERIFY(!skin->isDesignMode());
#else
    QSKIP("QtUiTools is not installed");
#endif
}

void TestSkinPlugin::createsWorkingSkinOutsideDesigner()
{
    QWidget parent;
    auto *skin = qobject_cast<Skin *>(m_plugin->createWidget(&parent));
    QVERIFY(skin);
    QCOMPARE(skin->parentWidget(), &parent);
    QVERIFY(!skin->isDesignMode());
    QVERIFY(skin->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
}

void TestSkinPlugin::createsInertSkinInDesigner()
{
    m_plugin->initialize(nullptr);
    QVERIFY(m_plugin->isInitialized());

    QWidget parent;
    parent.resize(300, 300);
    auto *skin = qobject_cast<Skin *>(m_plugin->createWidget(&parent));
    QVERIFY(skin);
    QVERIFY(skin->isDesignMode());
    QVERIFY(!skin->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
    parent.show();
    QVERIFY(QTest::qWaitForWindowExposed(&parent));
    QTest::qWait(20);
    QVERIFY(!skin->isApplied());
    QVERIFY(parent.mask().isEmpty());
}

QTEST_MAIN(TestSkinPlugin)
#include "tst_skinplugin.moc"
