#include "Fonts.h"

#include <QFont>
#include <QStringList>

void Fonts::install()
{
    const QStringList persian = {QStringLiteral("Noto Sans Arabic UI"),
                                 QStringLiteral("Noto Sans Arabic"), QStringLiteral("Noto Sans"),
                                 QStringLiteral("DejaVu Sans")};
    QFont::insertSubstitutions(QStringLiteral("Tahoma"), persian);
    QFont::insertSubstitutions(QStringLiteral("MS Sans Serif"), persian);
}
