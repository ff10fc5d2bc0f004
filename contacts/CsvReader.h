#pragma once

#include <QByteArrayView>

#include "contacts/ContactDraft.h"

// Reads RFC 4180 CSV (comma, or the semicolon or tab a header shows) whose
// header names its columns; see CsvColumns for the names it knows. Text that
// is not UTF-8 is read as Windows-1256, as a Persian Windows saves it.
class CsvReader
{
public:
    // The text as TextInput::prepare gave it.
    static ReadResult read(QByteArrayView text, const DraftSink &take);
};
