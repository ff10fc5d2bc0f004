#pragma once

#include <functional>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include "contacts/ExportWarning.h"
#include "contacts/FieldText.h"
#include "store/StoreError.h"

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

    // Takes the text in pieces as it is made; false stops the export.
    using Sink = std::function<bool(QByteArrayView piece)>;

    // sinkFailed tells a refusal of the sink from the store's own errors.
    static StoreError run(const ContactStore &store, Format format, const Sink &sink,
                          QList<ExportWarning> &warnings, bool &sinkFailed,
                          FieldText::Yeh yeh = FieldText::Yeh::Persian);
    // The whole text at once.
    static StoreError run(const ContactStore &store, Format format, QByteArray &out,
                          QList<ExportWarning> &warnings,
                          FieldText::Yeh yeh = FieldText::Yeh::Persian);
};
