#include "mainwindow/ImageList.h"

#include <QPixmap>

ImageList::ImageList()
{
    const char *files[] = {"ImageList1_1.ico", "ImageList1_2.ico", "ImageList1_3.ico",
                           "ImageList1_4.ico", "ImageList1_5.gif", "ImageList1_6.gif",
                           "ImageList1_7.gif", "ImageList1_8.bmp"};
    for (const char *name : files) {
        const QPixmap picture(QStringLiteral(":/pictures/") + QLatin1String(name));
        // The list shows every picture at the nominal 16 x 16.
        QIcon icon;
        icon.addPixmap(picture.scaled(16, 16, Qt::KeepAspectRatio, Qt::SmoothTransformation));
        m_icons.append(icon);
    }
}

QIcon ImageList::icon(int oneBased) const
{
    if (oneBased < 1 || oneBased > m_icons.size())
        return {};
    return m_icons.at(oneBased - 1);
}
