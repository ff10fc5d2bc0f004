#pragma once

#include <QByteArrayView>

// Walks the physical lines of a text, ending at LF, CR LF, or CR in a text
// that has no LF at all. Views point into the text.
class TextLines
{
public:
    explicit TextLines(QByteArrayView text) : m_text(text), m_sep(text.contains('\n') ? '\n' : '\r')
    {
    }

    bool atEnd() const { return m_pos >= m_text.size(); }
    // The line the next call to next() returns.
    qsizetype nextNumber() const { return m_number + 1; }

    QByteArrayView peek() const { return lineAt(m_pos, nullptr); }
    QByteArrayView next()
    {
        qsizetype end = 0;
        const QByteArrayView line = lineAt(m_pos, &end);
        m_pos = end;
        ++m_number;
        return line;
    }

private:
    QByteArrayView lineAt(qsizetype pos, qsizetype *end) const
    {
        const qsizetype size = m_text.size();
        if (pos >= size) {
            if (end)
                *end = size;
            return {};
        }
        qsizetype stop = m_text.indexOf(m_sep, pos);
        if (stop < 0)
            stop = size;
        if (end)
            *end = stop < size ? stop + 1 : size;
        qsizetype len = stop - pos;
        if (m_sep == '\n' && len > 0 && m_text[pos + len - 1] == '\r')
            --len;
        return m_text.sliced(pos, len);
    }

    QByteArrayView m_text;
    char m_sep;
    qsizetype m_pos = 0;
    qsizetype m_number = 0;
};
