#pragma once

#include <QStyledItemDelegate>

// Telephone and identification numbers read left to right even in a
// right-to-left list: "+98 912 345" must not turn into "345 912 98+".
class LeftToRightDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem *option, const QModelIndex &index) const override;
};
