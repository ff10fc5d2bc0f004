#pragma once

#include <QString>

#include "store/ContactRecord.h"

// A stored character an export format cannot carry; it is written as U+FFFD.
struct ExportWarning
{
    qint64 record = 0; // 1-based record number
    ContactRecord::Field field = ContactRecord::Name;
    uchar byte = 0;
};
