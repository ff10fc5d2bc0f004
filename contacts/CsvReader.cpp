#include "CsvReader.h"

#include <optional>

#include <QList>
#include <QMap>

#include "CsvColumns.h"
#include "Cp1256Codec.h"
#include "PhoneChoice.h"
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

PhoneChoice::Kind kindOfType(const QString &type)
{
    if (type.contains(QLatin1String("mobile")) || type.contains(QLatin1String("cell")))
        return PhoneChoice::Mobile;
    if (type.contains(QLatin1String("fax")))
        return PhoneChoice::Fax;
    if (type.contains(QLatin1String("pager")))
        return PhoneChoice::Pager;
    return PhoneChoice::Voice;
}

// Turns the rows under a header into contacts, the header's columns known.
class RowReader
{
public:
    RowReader(QStringList header, bool utf8) : m_header(std::move(header)), m_utf8(utf8)
    {
        const bool ours = CsvColumns::isOurs(m_header);
        for (const QString &h : std::as_const(m_header))
            m_columns << CsvColumns::classify(h, ours);
    }

    bool knowsAColumn() const
    {
        for (const CsvColumns::Column &c : m_columns)
            if (c.role != CsvColumns::Unknown && c.role != CsvColumns::Ignored)
                return true;
        return false;
    }

    ContactDraft read(const Row &row, int index)
    {
        ContactDraft d;
        d.line = row.line;
        d.index = index;
        QStringList values;
        for (qsizetype c = 0; c < m_columns.size(); ++c)
            values << (c < row.fields.size() ? decode(row.fields[c]) : QString());
        QStringList dropped;
        takeNames(d, values, dropped);
        takePhones(d, values);
        takeAddress(d, values);
        bool extra = false;
        for (qsizetype c = m_columns.size(); c < row.fields.size(); ++c)
            extra = extra || !row.fields[c].trimmed().isEmpty();
        if (extra)
            d.notes.append({QStringLiteral("CSV"),
                            QStringLiteral("مقدارهاي بيش از ستونهاي سرستون ذخيره نشد.")});
        if (!dropped.isEmpty())
            d.notes.append({dropped.join(QStringLiteral(", ")),
                            QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد.")});
        return d;
    }

private:
    QString decode(const QByteArray &b) const
    {
        return m_utf8 ? QString::fromUtf8(b) : Cp1256Codec::decode(b);
    }

    // Names, the ID and the columns with no place; a second column of a kind
    // is dropped when it says something else.
    void takeNames(ContactDraft &d, const QStringList &values, QStringList &dropped) const
    {
        QString name, family, full;
        std::optional<QString> id;
        const auto first = [&](QString &slot, qsizetype c) {
            if (slot.isEmpty())
                slot = values[c];
            else if (!values[c].isEmpty() && values[c] != slot)
                dropped << m_header[c];
        };
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            switch (m_columns[c].role) {
            case CsvColumns::Given:
                first(name, c);
                break;
            case CsvColumns::Family:
                first(family, c);
                break;
            case CsvColumns::FullName:
                first(full, c);
                break;
            case CsvColumns::Id:
                if (!id)
                    id = values[c];
                else if (!values[c].isEmpty() && values[c] != *id)
                    dropped << m_header[c];
                break;
            case CsvColumns::Unknown:
                if (!values[c].trimmed().isEmpty())
                    dropped << m_header[c];
                break;
            default:
                break;
            }
        }
        if (name.isEmpty() && family.isEmpty() && !full.isEmpty()) {
            const qsizetype space = full.lastIndexOf(u' ');
            name = space < 0 ? full : full.left(space);
            family = space < 0 ? QString() : full.mid(space + 1);
        }
        d.name = name;
        d.family = family;
        if (id && !id->isEmpty())
            d.id = *id;
    }

    void takePhones(ContactDraft &d, const QStringList &values) const
    {
        // Types first: a Google "Phone 1 - Type" may follow its value.
        QMap<QString, PhoneChoice::Kind> types;
        for (qsizetype c = 0; c < m_columns.size(); ++c)
            if (m_columns[c].role == CsvColumns::PhoneType)
                types[m_columns[c].group] = kindOfType(values[c].toLower());
        PhoneChoice phones(d, QStringLiteral("Phone"));
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            const QString &v = values[c];
            switch (m_columns[c].role) {
            case CsvColumns::Phone:
                phones.add(v, PhoneChoice::Voice);
                break;
            case CsvColumns::Mobile:
                phones.add(v, PhoneChoice::Mobile);
                break;
            case CsvColumns::Fax:
                phones.add(v, PhoneChoice::Fax);
                break;
            case CsvColumns::Pager:
                phones.add(v, PhoneChoice::Pager);
                break;
            case CsvColumns::PhoneValue:
                // Google puts several numbers of one kind in a cell, split by " ::: ".
                for (const QString &p : v.split(QStringLiteral(" ::: ")))
                    phones.add(p, types.value(m_columns[c].group, PhoneChoice::Voice));
                break;
            default:
                break;
            }
        }
        phones.finish();
    }

    // The first address group with a formatted address or any part of one.
    void takeAddress(ContactDraft &d, const QStringList &values) const
    {
        QStringList order;
        QMap<QString, QString> formatted;
        QMap<QString, QStringList> parts;
        for (qsizetype c = 0; c < m_columns.size(); ++c) {
            const CsvColumns::Column &col = m_columns[c];
            if (col.role != CsvColumns::AddressFormatted && col.role != CsvColumns::AddressPart)
                continue;
            if (!order.contains(col.group))
                order << col.group;
            if (col.role == CsvColumns::AddressFormatted)
                formatted[col.group] = values[c];
            else
                parts[col.group] << values[c];
        }
        QString address;
        for (const QString &g : std::as_const(order)) {
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
        d.address = address;
    }

    QStringList m_header;
    bool m_utf8;
    QList<CsvColumns::Column> m_columns;
};

} // namespace

ReadResult CsvReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const bool utf8 = TextInput::isUtf8(text);
    if (!utf8)
        result.notices << QStringLiteral("فايل UTF-8 نيست؛ به صورت Windows-1256 خوانده شد.");

    QList<Row> rows;
    if (!splitRows(text, guessDelimiter(text), rows, result.errorLine, result.error))
        return result;
    if (rows.isEmpty())
        return result;

    QStringList header;
    for (const QByteArray &h : rows.first().fields)
        header << (utf8 ? QString::fromUtf8(h) : Cp1256Codec::decode(h));
    RowReader reader(header, utf8);
    if (!reader.knowsAColumn()) {
        result.error = QStringLiteral("سرستونهاي اين CSV شناخته نيست. سطر اول بايد نام ستونها "
                                      "باشد، مثلا Name,Family,Phone,Mobile,ID,Address؛ نامهاي "
                                      "شناخته را halvex-contacts import --help نشان مي دهد.");
        result.errorLine = rows.first().line;
        return result;
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        ++result.contacts;
        take(reader.read(rows[r], int(r)));
    }
    return result;
}
