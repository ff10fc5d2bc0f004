#include "mainwindow/LeftToRightDelegate.h"

void LeftToRightDelegate::initStyleOption(QStyleOptionViewItem *option,
                                          const QModelIndex &index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->direction = Qt::LeftToRight;
    // Still at the column's reading edge, like the other columns.
    option->displayAlignment = Qt::AlignAbsolute | Qt::AlignRight | Qt::AlignVCenter;
}
