#include "CsvReader.h"

#include <optional>

#include <QList>
#include <QMap>

#include "CsvColumns.h"
#include "Cp1256Codec.h"
#include "TextInput.h"

namespace {

struct Row
{
    qsizetype line = 0;
    QList<QByteArray> fields;
};

char guessDelimiter(QByteArrayView text)
{
    int comma = 0, semicolon = 0, tab = 0;
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        else if (!quoted && (c == '\n' || c == '\r'))
            break;
        else if (!quoted)
            comma += c == ',', semicolon += c == ';', tab += c == '\t';
    }
    if (semicolon > comma && semicolon >= tab)
        return ';';
    if (tab > comma && tab > semicolon)
        return '\t';
    return ',';
}

// Splits the text into rows. False with line and message on a quote never closed
// or a row too long.
bool splitRows(QByteArrayView text, char delim, QList<Row> &rows, qsizetype &errLine, QString &err)
{
    qsizetype line = 1;
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n) {
        Row row;
        row.line = line;
        const qsizetype rowStart = i;
        const auto tooLong = [&] {
            errLine = row.line;
            err = QStringLiteral("سطر بيش از %1 مگابايت است؛ اين فايل CSV درستي نيست.")
                      .arg(TextInput::MaxLine / (1024 * 1024));
            return false;
        };
        for (;;) {
            QByteArray field;
            if (i < n && text[i] == '"') {
                const qsizetype quoteLine = line;
                for (++i;; ++i) {
                    if (i >= n) {
                        errLine = quoteLine;
                        err = QStringLiteral("علامت نقل قول («\"») که در اين سطر باز شده هرگز "
                                             "بسته نشده است.");
                        return false;
                    }
                    if (i - rowStart > TextInput::MaxLine)
                        return tooLong();
                    const char c = text[i];
                    if (c == '"') {
                        if (i + 1 < n && text[i + 1] == '"') {
                            field += '"';
                            ++i;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    if (c == '\n' || (c == '\r' && (i + 1 >= n || text[i + 1] != '\n')))
                        ++line;
                    field += c;
                }
            }
            // Unquoted text, or what follows a closing quote, up to the delimiter.
            const qsizetype start = i;
            while (i < n && text[i] != delim && text[i] != '\n' && text[i] != '\r')
                ++i;
            if (i - rowStart > TextInput::MaxLine)
                return tooLong();
            field += text.sliced(start, i - start);
            row.fields << field;
            if (i >= n)
                break;
            if (text[i] == delim) {
                ++i;
                continue;
            }
            if (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n')
                ++i;
            ++i;
            ++line;
            break;
        }
        if (row.fields.size() == 1 && row.fields[0].isEmpty())
            continue; // a blank line
        rows.append(std::move(row));
    }
    return true;
}

QString joinNonEmpty(const QStringList &parts)
{
    QStringList kept;
    for (const QString &p : parts)
        if (!p.isEmpty())
            kept << p;
    return kept.join(QStringLiteral(", "));
}

} // namespace

ReadResult CsvReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const bool utf8 = TextInput::isUtf8(text);
    if (!utf8)
        result.notices << QStringLiteral("فايل UTF-8 نيست؛ به صورت Windows-1256 خوانده شد.");
    const auto decode = [utf8](const QByteArray &b) {
        return utf8 ? QString::fromUtf8(b) : Cp1256Codec::decode(b);
    };

    QList<Row> rows;
    if (!splitRows(text, guessDelimiter(text), rows, result.errorLine, result.error))
        return result;
    if (rows.isEmpty())
        return result;

    QStringList header;
    for (const QByteArray &h : rows.first().fields)
        header << decode(h);
    const bool ours = CsvColumns::isOurs(header);
    QList<CsvColumns::Column> columns;
    bool known = false;
    for (const QString &h : header) {
        columns << CsvColumns::classify(h, ours);
        known = known || (columns.last().role != CsvColumns::Unknown &&
                          columns.last().role != CsvColumns::Ignored);
    }
    if (!known) {
        result.error = QStringLiteral("سرستونهاي اين CSV شناخته نيست. سطر اول بايد نام ستونها "
                                      "باشد، مثلا Name,Family,Phone,Mobile,ID,Address؛ نامهاي "
                                      "شناخته را halvex-contacts import --help نشان مي دهد.");
        result.errorLine = rows.first().line;
        return result;
    }

    for (qsizetype r = 1; r < rows.size(); ++r) {
        const Row &row = rows[r];
        ContactDraft d;
        d.line = row.line;
        d.index = int(r);
        QString name, family, phone, mobile, address, full;
        std::optional<QString> id;
        QList<std::pair<QString, bool>> phones; // number, mobile
        QMap<QString, QString> phoneTypes;
        QStringList addressOrder;
        QMap<QString, QString> formatted;
        QMap<QString, QStringList> parts;
        QStringList dropped;
        const auto extraName = [&](const QString &slot, const QString &value, int c) {
            if (!value.isEmpty() && value != slot)
                dropped << header[c];
        };
        // Types first: a Google "Phone 1 - Type" may follow its value.
        for (qsizetype c = 0; c < columns.size() && c < row.fields.size(); ++c)
            if (columns[c].role == CsvColumns::PhoneType)
                phoneTypes[columns[c].group] = decode(row.fields[c]).toLower();
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QString v = c < row.fields.size() ? decode(row.fields[c]) : QString();
            const CsvColumns::Column &col = columns[c];
            switch (col.role) {
            case CsvColumns::Given:
                name.isEmpty() ? void(name = v) : extraName(name, v, int(c));
                break;
            case CsvColumns::Family:
                family.isEmpty() ? void(family = v) : extraName(family, v, int(c));
                break;
            case CsvColumns::FullName:
                full.isEmpty() ? void(full = v) : extraName(full, v, int(c));
                break;
            case CsvColumns::Phone:
            case CsvColumns::Mobile:
                if (!v.isEmpty())
                    phones.append({v, col.role == CsvColumns::Mobile});
                break;
            case CsvColumns::PhoneValue: {
                const QString type = phoneTypes.value(col.group);
                const bool mobile =
                    type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell"));
                // Google puts several numbers of one kind in a cell, split by " ::: ".
                for (const QString &p : v.split(QStringLiteral(" ::: ")))
                    if (!p.isEmpty())
                        phones.append({p, mobile});
                break;
            }
            case CsvColumns::Id:
                if (!id)
                    id = v;
                else
                    extraName(*id, v, int(c));
                break;
            case CsvColumns::AddressFormatted:
            case CsvColumns::AddressPart:
                if (!addressOrder.contains(col.group))
                    addressOrder << col.group;
                if (col.role == CsvColumns::AddressFormatted)
                    formatted[col.group] = v;
                else
                    parts[col.group] << v;
                break;
            case CsvColumns::PhoneType:
            case CsvColumns::Ignored:
                break;
            case CsvColumns::Unknown:
                if (!v.trimmed().isEmpty())
                    dropped << header[c];
                break;
            }
        }
        if (id && id->isEmpty())
            id.reset();
        if (name.isEmpty() && family.isEmpty() && !full.isEmpty()) {
            const qsizetype space = full.lastIndexOf(u' ');
            name = space < 0 ? full : full.left(space);
            family = space < 0 ? QString() : full.mid(space + 1);
        }
        for (const auto &[number, isMobile] : phones) {
            QString &slot = isMobile ? mobile : phone;
            if (slot.isEmpty())
                slot = number;
            else
                d.notes.append(
                    {QStringLiteral("Phone"),
                     isMobile ? QStringLiteral("شماره موبايل ديگر «%1» ذخيره نشد: فقط يک شماره "
                                               "موبايل جا دارد.")
                                    .arg(number)
                              : QStringLiteral("شماره تلفن ديگر «%1» ذخيره نشد: فقط يک شماره تلفن "
                                               "جا دارد.")
                                    .arg(number)});
        }
        for (const QString &g : addressOrder) {
            QString a = formatted.value(g);
            if (a.isEmpty())
                a = joinNonEmpty(parts.value(g));
            if (a.isEmpty())
                continue;
            if (address.isEmpty())
                address = a;
            else
                d.notes.append(
                    {QStringLiteral("Address"),
                     QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.").arg(a)});
        }
        bool extra = false;
        for (qsizetype c = columns.size(); c < row.fields.size(); ++c)
            extra = extra || !row.fields[c].trimmed().isEmpty();
        if (extra)
            d.notes.append({QStringLiteral("CSV"),
                            QStringLiteral("مقدارهاي بيش از ستونهاي سرستون ذخيره نشد.")});
        if (!dropped.isEmpty())
            d.notes.append({dropped.join(QStringLiteral(", ")),
                            QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد.")});
        d.name = name;
        d.family = family;
        d.phone = phone;
        d.mobile = mobile;
        d.address = address;
        if (id)
            d.id = *id;
        ++result.contacts;
        take(d);
    }
    return result;
}
