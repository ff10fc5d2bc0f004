#include "contacts/CsvReader.h"

#include <QString>

#include "contacts/CsvRowReader.h"
#include "contacts/TextInput.h"

namespace {

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

} // namespace

ReadResult CsvReader::read(QByteArrayView text, const DraftSink &take)
{
    ReadResult result;
    const bool utf8 = TextInput::isUtf8(text);
    if (!utf8)
        result.notices << QStringLiteral("فايل UTF-8 نيست؛ به صورت Windows-1256 خوانده شد.");

    Splitter rows(text, guessDelimiter(text));
    CsvRowReader reader(utf8);
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
