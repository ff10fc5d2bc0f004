#pragma once

#include <cstring>

#include <QByteArrayView>

// Walks the physical lines of a text, ending at LF, CR LF, or CR in a text
// that has no LF at all. Views point into the text.
class TextLines
{
public:
    explicit TextLines(QByteArrayView text) : m_text(text), m_sep(separatorOf(text)) { advance(); }

    static char separatorOf(QByteArrayView text) { return text.contains('\n') ? '\n' : '\r'; }

    bool atEnd() const { return m_pos >= m_text.size(); }
    // The line the next call to next() returns.
    qsizetype nextNumber() const { return m_number + 1; }

    QByteArrayView peek() const { return m_line; }
    QByteArrayView next()
    {
        const QByteArrayView line = m_line;
        m_pos = m_end;
        ++m_number;
        advance();
        return line;
    }

private:
    // Finds the line at m_pos once, for both peek() and next().
    void advance()
    {
        const qsizetype size = m_text.size();
        if (m_pos >= size) {
            m_line = {};
            m_end = size;
            return;
        }
        const void *found = std::memchr(m_text.data() + m_pos, m_sep, size_t(size - m_pos));
        const qsizetype stop = found ? static_cast<const char *>(found) - m_text.data() : size;
        m_end = stop < size ? stop + 1 : size;
        qsizetype len = stop - m_pos;
        if (m_sep == '\n' && len > 0 && m_text[m_pos + len - 1] == '\r')
            --len;
        m_line = m_text.sliced(m_pos, len);
    }

    QByteArrayView m_text;
    char m_sep;
    qsizetype m_pos = 0;
    qsizetype m_end = 0;
    qsizetype m_number = 0;
    QByteArrayView m_line;
};
