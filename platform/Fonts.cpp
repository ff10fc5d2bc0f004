#include "platform/Fonts.h"

#include <QFont>
#include <QStringList>
#include <QVariant>
#include <QWidget>

void Fonts::install()
{
    const QStringList persian = {QStringLiteral("Noto Sans Arabic UI"),
                                 QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans"),
                                 QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), persian);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), persian);
}

void Fonts::applyFractionalSizes(QWidget *root)
{
    QList<QWidget *> widgets = root->findChildren<QWidget *>();
    widgets.prepend(root);
    for (QWidget *w : widgets) {
        const QVariant size = w->property("fontPointSizeF");
        if (!size.isValid())
            continue;
        QFont f = w->font();
        f.setPointSizeF(size.toDouble());
        w->setFont(f);
    }
}
