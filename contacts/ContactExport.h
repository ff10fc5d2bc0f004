#pragma once

#include <QByteArray>
#include <QList>

#include "ExportWarning.h"
#include "StoreError.h"

class ContactStore;

// Every record of a data file, in file order, as vCards or CSV.
class ContactExport
{
public:
    enum Format
    {
        Vcard4,
        Vcard3,
        Csv
    };

    static StoreError run(const ContactStore &store, Format format, QByteArray &out,
                          QList<ExportWarning> &warnings);
};
