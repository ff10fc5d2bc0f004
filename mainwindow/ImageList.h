#pragma once

#include <QIcon>
#include <QList>

// ImageList1: the eight pictures of the contact list, numbered from 1.
class ImageList
{
public:
    ImageList();
    QIcon icon(int oneBased) const;

private:
    QList<QIcon> m_icons;
};
