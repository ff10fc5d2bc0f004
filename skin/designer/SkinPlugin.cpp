#include "SkinPlugin.h"

#include <QIcon>

#include "Skin.h"

SkinPlugin::SkinPlugin(QObject *parent) : QObject(parent) {}

QString SkinPlugin::name() const
{
    return QStringLiteral("Skin");
}

QString SkinPlugin::group() const
{
    return QStringLiteral("Pelliform");
}

QString SkinPlugin::toolTip() const
{
    return QStringLiteral("A picture that shapes and drags its borderless window");
}

QString SkinPlugin::whatsThis() const
{
    return QStringLiteral("Shows Picture; at run time every pixel of the window in TranColor "
                          "becomes see-through, and dragging the picture moves the window.");
}

QString SkinPlugin::includeFile() const
{
    return QStringLiteral("Skin.h");
}

QIcon SkinPlugin::icon() const
{
    return {};
}

bool SkinPlugin::isContainer() const
{
    return false;
}

QString SkinPlugin::domXml() const
{
    // The designed size of a new control: 4140 x 3270 twips.
    return QStringLiteral(R"(<ui language="c++">
 <widget class="Skin" name="Skin1">
  <property name="geometry">
   <rect><x>0</x><y>0</y><width>276</width><height>218</height></rect>
  </property>
 </widget>
</ui>
)");
}

QWidget *SkinPlugin::createWidget(QWidget *parent)
{
    auto *skin = new Skin(parent);
    // Only Designer initialises the plugin; QUiLoader creates working controls.
    skin->setDesignMode(m_initialized);
    return skin;
}

bool SkinPlugin::isInitialized() const
{
    return m_initialized;
}

void SkinPlugin::initialize(QDesignerFormEditorInterface *)
{
    m_initialized = true;
}
