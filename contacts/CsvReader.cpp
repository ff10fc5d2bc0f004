#include "contacts/CsvReader.h"

#include <algorithm>
#include <optional>
#include <vector>

#include <QHash>
#include <QList>

#include "contacts/CsvColumns.h"
#include "contacts/CsvText.h"
#include "contacts/PhoneChoice.h"
#include "contacts/TextInput.h"
#include "store/Cp1256Codec.h"

namespace {

// Column names said for one row's dropped values; the rest are counted.
constexpr qsizetype kNamesShown = 5;

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

// Splits the text into rows, one at a time, handing out each field as it is
// found: memory follows the longest row, not the shape of the file.
class Splitter
{
public:
    Splitter(QByteArrayView text, char delim) : m_text(text), m_delim(delim) {}

    // Gives each field of the next row to take(column, bytes); the bytes live
    // until the next field. False at the end of the text, or on a quote never
    // closed or a row too long, with the error set.
    template <typename Take> bool next(Take &&take)
    {
        const qsizetype n = m_text.size();
        if (m_i >= n)
            return false;
        m_rowLine = m_line;
        m_fields = 0;
        const qsizetype rowStart = m_i;
        bool lastEmpty = true;
        for (;;) {
            bool quoted = false;
            if (m_i < n && m_text[m_i] == '"') {
                quoted = true;
                m_scratch.clear();
                const qsizetype quoteLine = m_line;
                qsizetype from = ++m_i;
                for (;; ++m_i) {
                    if (m_i >= n)
                        return fail(quoteLine,
                                    QStringLiteral("علامت نقل قول («\"») که در اين سطر باز شده "
                                                   "هرگز بسته نشده است."));
                    if (m_i - rowStart > TextInput::MaxLine)
                        return tooLong();
                    const char c = m_text[m_i];
                    if (c == '"') {
                        m_scratch += m_text.sliced(from, m_i - from);
                        if (m_i + 1 < n && m_text[m_i + 1] == '"') {
                            m_scratch += '"';
                            ++m_i;
                            from = m_i + 1;
                            continue;
                        }
                        ++m_i;
                        break;
                    }
                    if (c == '\n' || (c == '\r' && (m_i + 1 >= n || m_text[m_i + 1] != '\n')))
                        ++m_line;
                }
            }
            // Unquoted text, or what follows a closing quote, up to the delimiter.
            const qsizetype start = m_i;
            while (m_i < n && m_text[m_i] != m_delim && m_text[m_i] != '\n' && m_text[m_i] != '\r')
                ++m_i;
            if (m_i - rowStart > TextInput::MaxLine)
                return tooLong();
            QByteArrayView field = m_text.sliced(start, m_i - start);
            if (quoted) {
                m_scratch += field;
                field = m_scratch;
            }
            lastEmpty = field.isEmpty();
            take(m_fields++, field);
            if (m_i >= n)
                break;
            if (m_text[m_i] == m_delim) {
                ++m_i;
                continue;
            }
            if (m_text[m_i] == '\r' && m_i + 1 < n && m_text[m_i + 1] == '\n')
                ++m_i;
            ++m_i;
            ++m_line;
            break;
        }
        m_blank = m_fields == 1 && lastEmpty;
        return true;
    }

    qsizetype rowLine() const { return m_rowLine; }
    // The row just read was an empty line.
    bool blank() const { return m_blank; }
    const QString &error() const { return m_error; }
    qsizetype errorLine() const { return m_errorLine; }

private:
    bool fail(qsizetype line, const QString &error)
    {
        m_errorLine = line;
        m_error = error;
        return false;
    }
    bool tooLong()
    {
        return fail(m_rowLine, QStringLiteral("سطر بيش از %1 مگابايت است؛ اين فايل CSV درستي نيست.")
                                   .arg(TextInput::MaxLine / (1024 * 1024)));
    }

    QByteArrayView m_text;
    char m_delim;
    qsizetype m_i = 0;
    qsizetype m_line = 1;
    qsizetype m_rowLine = 0;
    qsizetype m_fields = 0;
    bool m_blank = false;
    QByteArray m_scratch;
    QString m_error;
    qsizetype m_errorLine = 0;
};

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
// A row costs what its own fields cost, however wide the header: only the
// values of known columns are kept, and only until the row is read.
class RowReader
{
public:
    explicit RowReader(bool utf8) : m_utf8(utf8) {}

    // The header, a name at a time.
    void addName(QByteArrayView name)
    {
        m_names += name;
        m_nameEnds.push_back(quint32(m_names.size()));
    }
    void clearNames()
    {
        m_names.clear();
        m_nameEnds.clear();
    }

    // Once the header is in; false when it names no column we know.
    bool classify()
    {
        const qsizetype count = qsizetype(m_nameEnds.size());
        bool ours = false;
        for (qsizetype c = 0; c < count && !ours; ++c)
            ours = !rawName(c).isEmpty() && CsvColumns::isOurs({name(c)});
        QHash<QString, int> groups;
        m_roles.assign(size_t(count), quint8(CsvColumns::Unknown));
        bool known = false;
        for (qsizetype c = 0; c < count; ++c) {
            if (rawName(c).isEmpty())
                continue;
            const CsvColumns::Column col = CsvColumns::classify(name(c), ours);
            m_roles[size_t(c)] = quint8(col.role);
            if (!col.group.isEmpty()) {
                auto it = groups.constFind(col.group);
                if (it == groups.cend())
                    it = groups.insert(col.group, int(groups.size()));
                m_groupOf.insert(c, *it);
            }
            known = known || (col.role != CsvColumns::Unknown && col.role != CsvColumns::Ignored);
        }
        return known;
    }

    void beginRow()
    {
        m_values.clear();
        m_bytes.clear();
        m_dropped.clear();
        m_droppedCount = 0;
        m_extra = false;
    }

    void addField(qsizetype c, QByteArrayView field)
    {
        field = CsvText::unguarded(field);
        if (c >= qsizetype(m_roles.size())) {
            m_extra = m_extra || !blank(field);
            return;
        }
        switch (role(c)) {
        case CsvColumns::Ignored:
            return;
        case CsvColumns::Unknown:
            if (!blank(field))
                drop(m_dropped, m_droppedCount, c);
            return;
        default:
            m_values.push_back({quint32(c), quint32(m_bytes.size()), quint32(field.size())});
            m_bytes += field;
        }
    }

    ContactDraft read(qsizetype line, int index)
    {
        ContactDraft d;
        d.line = line;
        d.index = index;
        QList<qsizetype> conflicts;
        qsizetype conflictCount = 0;
        takeNames(d, conflicts, conflictCount);
        takePhones(d);
        takeAddress(d);
        if (m_extra)
            d.note(QStringLiteral("CSV"),
                   QStringLiteral("مقدارهاي بيش از ستونهاي سرستون ذخيره نشد."));
        const qsizetype total = m_droppedCount + conflictCount;
        if (total > 0) {
            // In column order, the first few by name.
            QList<qsizetype> shown = m_dropped + conflicts;
            std::sort(shown.begin(), shown.end());
            shown.resize(std::min(shown.size(), kNamesShown));
            QStringList names;
            for (const qsizetype c : std::as_const(shown))
                names << name(c);
            QString where = names.join(QStringLiteral(", "));
            if (total > shown.size())
                where += QStringLiteral(" و %1 ستون ديگر").arg(total - shown.size());
            d.note(where, QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد."));
        }
        return d;
    }

private:
    struct Value
    {
        quint32 column;
        quint32 at; // in m_bytes
        quint32 size;
    };

    QString decode(QByteArrayView b) const
    {
        return m_utf8 ? QString::fromUtf8(b) : Cp1256Codec::decode(b);
    }
    QByteArrayView rawName(qsizetype c) const
    {
        const quint32 from = c == 0 ? 0 : m_nameEnds[size_t(c - 1)];
        return QByteArrayView(m_names).sliced(from, m_nameEnds[size_t(c)] - from);
    }
    QString name(qsizetype c) const { return decode(rawName(c)); }
    CsvColumns::Role role(qsizetype c) const { return CsvColumns::Role(m_roles[size_t(c)]); }
    int group(const Value &v) const { return m_groupOf.value(v.column, -1); }
    QString text(const Value &v) const
    {
        return decode(QByteArrayView(m_bytes).sliced(v.at, v.size));
    }
    bool blank(QByteArrayView field) const
    {
        return field.trimmed().isEmpty() || decode(field).trimmed().isEmpty();
    }
    static void drop(QList<qsizetype> &shown, qsizetype &count, qsizetype c)
    {
        ++count;
        if (shown.size() < kNamesShown)
            shown << c;
    }

    // Names, the ID and the columns with no place; a second column of a kind
    // is dropped when it says something else.
    void takeNames(ContactDraft &d, QList<qsizetype> &dropped, qsizetype &count) const
    {
        QString name, family, full;
        std::optional<QString> id;
        for (const Value &v : m_values) {
            const auto first = [&](QString &slot) {
                const QString value = text(v);
                if (slot.isEmpty())
                    slot = value;
                else if (!value.isEmpty() && value != slot)
                    drop(dropped, count, v.column);
            };
            switch (role(v.column)) {
            case CsvColumns::Given:
                first(name);
                break;
            case CsvColumns::Family:
                first(family);
                break;
            case CsvColumns::FullName:
                first(full);
                break;
            case CsvColumns::Id:
                if (!id)
                    id = text(v);
                else if (const QString value = text(v); !value.isEmpty() && value != *id)
                    drop(dropped, count, v.column);
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

    void takePhones(ContactDraft &d) const
    {
        // Types first: a Google "Phone 1 - Type" may follow its value.
        QHash<int, PhoneChoice::Kind> types;
        for (const Value &v : m_values)
            if (role(v.column) == CsvColumns::PhoneType)
                types[group(v)] = kindOfType(text(v).toLower());
        PhoneChoice phones(d, QStringLiteral("Phone"));
        for (const Value &v : m_values) {
            switch (role(v.column)) {
            case CsvColumns::Phone:
                phones.add(text(v), PhoneChoice::Voice);
                break;
            case CsvColumns::Mobile:
                phones.add(text(v), PhoneChoice::Mobile);
                break;
            case CsvColumns::Fax:
                phones.add(text(v), PhoneChoice::Fax);
                break;
            case CsvColumns::Pager:
                phones.add(text(v), PhoneChoice::Pager);
                break;
            case CsvColumns::PhoneValue:
                // Google puts several numbers of one kind in a cell, split by " ::: ".
                for (const QString &p : text(v).split(QStringLiteral(" ::: ")))
                    phones.add(p, types.value(group(v), PhoneChoice::Voice));
                break;
            default:
                break;
            }
        }
        phones.finish();
    }

    // The first address group with a formatted address or any part of one.
    // Groups are numbered in the header's order; one group is put together at
    // a time, so a row of many groups costs no more than its values.
    void takeAddress(ContactDraft &d) const
    {
        std::vector<std::pair<int, quint32>> at; // group, index in m_values
        for (size_t i = 0; i < m_values.size(); ++i) {
            const CsvColumns::Role r = role(m_values[i].column);
            if (r == CsvColumns::AddressFormatted || r == CsvColumns::AddressPart)
                at.push_back({group(m_values[i]), quint32(i)});
        }
        std::sort(at.begin(), at.end());
        QString address;
        for (size_t i = 0; i < at.size();) {
            QString formatted;
            QStringList parts;
            const int g = at[i].first;
            for (; i < at.size() && at[i].first == g; ++i) {
                const Value &v = m_values[at[i].second];
                if (role(v.column) == CsvColumns::AddressFormatted)
                    formatted = text(v);
                else
                    parts << text(v);
            }
            const QString a = formatted.isEmpty() ? joinNonEmpty(parts) : formatted;
            if (a.isEmpty())
                continue;
            if (address.isEmpty())
                address = a;
            else
                d.note(QStringLiteral("Address"),
                       QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.").arg(a));
        }
        d.address = address;
    }

    bool m_utf8;
    // The header's names one after another, and where each ends.
    QByteArray m_names;
    std::vector<quint32> m_nameEnds;
    std::vector<quint8> m_roles;
    QHash<qsizetype, int> m_groupOf; // for the columns that have a group
    // The row being read.
    std::vector<Value> m_values;
    QByteArray m_bytes;
    QList<qsizetype> m_dropped;
    qsizetype m_droppedCount = 0;
    bool m_extra = false;
};

} // namespace

ReadResult CsvReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const bool utf8 = TextInput::isUtf8(text);
    if (!utf8)
        result.notices << QStringLiteral("فايل UTF-8 نيست؛ به صورت Windows-1256 خوانده شد.");

    Splitter rows(text, guessDelimiter(text));
    RowReader reader(utf8);
    const auto failed = [&] {
        result.error = rows.error();
        result.errorLine = rows.errorLine();
        return result;
    };
    // The header is the first line that is not blank.
    do {
        reader.clearNames();
        if (!rows.next([&](qsizetype, QByteArrayView name) { reader.addName(name); }))
            return failed();
    } while (rows.blank());
    if (!reader.classify()) {
        result.error = QStringLiteral("سرستونهاي اين CSV شناخته نيست. سطر اول بايد نام ستونها "
                                      "باشد، مثلا Name,Family,Phone,Mobile,ID,Address؛ نامهاي "
                                      "شناخته را halvex-contacts import --help نشان مي دهد.");
        result.errorLine = rows.rowLine();
        return result;
    }
    int index = 0;
    for (;;) {
        reader.beginRow();
        if (!rows.next([&](qsizetype c, QByteArrayView field) { reader.addField(c, field); }))
            break;
        if (rows.blank())
            continue;
        ++result.contacts;
        take(reader.read(rows.rowLine(), ++index));
    }
    return rows.error().isEmpty() ? result : failed();
}
