#include "mainwindow/PdfTextMaps.h"

#include <algorithm>
#include <exception>
#include <map>

#include <qpdf/Buffer.hh>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFObjectHandle.hh>
#include <qpdf/QPDFWriter.hh>

#include <QRegularExpression>

namespace {

bool presentationForm(char16_t u)
{
    return (u >= 0xFB50 && u <= 0xFDFF) || (u >= 0xFE70 && u <= 0xFEFE);
}

bool rightToLeft(const QString &text)
{
    return std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c.direction() == QChar::DirAL || c.direction() == QChar::DirR;
    });
}

QString letters(const QString &mapped)
{
    QString out;
    for (QChar c : mapped) {
        if (c == u'\t') {
            out += u' ';
        } else if (c == u'\u200B') {
            out += QChar(0x200C);
        } else if (presentationForm(c.unicode()) &&
                   c.decompositionTag() != QChar::NoDecomposition) {
            // Readers spread a glyph's letters over its width from left to
            // right, then read a right-to-left line from the right: the
            // letters of a ligature go in the order they are seen.
            QString parts = c.decomposition();
            if (parts.size() > 1 && rightToLeft(parts))
                std::reverse(parts.begin(), parts.end());
            out += parts;
        } else {
            out += c;
        }
    }
    return out;
}

QString fromHex(QByteArrayView hex)
{
    const QByteArray bytes = QByteArray::fromHex(hex.toByteArray());
    QString text;
    for (qsizetype i = 0; i + 1 < bytes.size(); i += 2)
        text += QChar(char16_t(uchar(bytes[i]) << 8 | uchar(bytes[i + 1])));
    return text;
}

QByteArray toHex(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes += char(c.unicode() >> 8);
        bytes += char(c.unicode() & 0xFF);
    }
    return bytes.toHex().toUpper();
}

// The sections of a map: "bfchar" pairs of code and text; "bfrange" a first
// and last code, then either one text whose last unit counts up with the code,
// or an array of texts.
struct Entries
{
    std::map<uint, QString> texts;
    int codeDigits = 4;
};

void readChars(const QString &body, Entries &e)
{
    static const QRegularExpression pair(QStringLiteral("<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]*)>"));
    for (const QRegularExpressionMatch &m : pair.globalMatch(body)) {
        e.codeDigits = int(m.capturedLength(1));
        e.texts[m.captured(1).toUInt(nullptr, 16)] = fromHex(m.captured(2).toLatin1());
    }
}

void readRanges(const QString &body, Entries &e)
{
    static const QRegularExpression range(QStringLiteral(
        "<([0-9A-Fa-f]+)>\\s*<([0-9A-Fa-f]+)>\\s*(?:<([0-9A-Fa-f]*)>|\\[([^\\]]*)\\])"));
    static const QRegularExpression item(QStringLiteral("<([0-9A-Fa-f]*)>"));
    for (const QRegularExpressionMatch &m : range.globalMatch(body)) {
        e.codeDigits = int(m.capturedLength(1));
        const uint first = m.captured(1).toUInt(nullptr, 16);
        const uint last = m.captured(2).toUInt(nullptr, 16);
        if (last < first || last - first > 0xFFFF)
            continue;
        if (m.capturedStart(4) >= 0) {
            uint code = first;
            for (const QRegularExpressionMatch &t : item.globalMatch(m.captured(4)))
                if (code <= last)
                    e.texts[code++] = fromHex(t.captured(1).toLatin1());
            continue;
        }
        const QString start = fromHex(m.captured(3).toLatin1());
        if (start.isEmpty())
            continue;
        for (uint code = first; code <= last; ++code) {
            QString text = start;
            text.back() = QChar(char16_t(start.back().unicode() + (code - first)));
            e.texts[code] = text;
        }
    }
}

} // namespace

bool PdfTextMaps::rewriteMap(QByteArray &cmap)
{
    static const QRegularExpression section(
        QStringLiteral("(\\d+)\\s+begin(bfchar|bfrange)(.*?)end\\2"),
        QRegularExpression::DotMatchesEverythingOption);
    const QString text = QString::fromLatin1(cmap);
    Entries e;
    qsizetype begin = -1, end = -1;
    for (const QRegularExpressionMatch &m : section.globalMatch(text)) {
        if (begin < 0)
            begin = m.capturedStart();
        end = m.capturedEnd();
        if (m.captured(2) == u"bfchar")
            readChars(m.captured(3), e);
        else
            readRanges(m.captured(3), e);
    }
    bool changed = false;
    for (auto &[code, mapped] : e.texts) {
        QString fixed = letters(mapped);
        if (fixed != mapped) {
            mapped = std::move(fixed);
            changed = true;
        }
    }
    if (!changed)
        return false;

    // One code a line, at most a hundred lines a section, as the format allows.
    QByteArray body;
    auto it = e.texts.cbegin();
    while (it != e.texts.cend()) {
        QByteArray lines;
        int n = 0;
        for (; it != e.texts.cend() && n < 100; ++it, ++n)
            lines += '<' +
                     QByteArray::number(it->first, 16).toUpper().rightJustified(e.codeDigits, '0') +
                     "> <" + toHex(it->second) + ">\n";
        body += QByteArray::number(n) + " beginbfchar\n" + lines + "endbfchar\n";
    }
    cmap = cmap.left(begin) + body + cmap.mid(end);
    return true;
}

bool PdfTextMaps::toLetters(QByteArray &pdf, QString &why)
{
    try {
        QPDF doc;
        doc.setSuppressWarnings(true);
        doc.processMemoryFile("list.pdf", pdf.constData(), size_t(pdf.size()));
        bool changed = false;
        for (QPDFObjectHandle &object : doc.getAllObjects()) {
            if (!object.isDictionary() || !object.getKey("/Type").isNameAndEquals("/Font"))
                continue;
            QPDFObjectHandle map = object.getKey("/ToUnicode");
            if (!map.isStream())
                continue;
            const std::shared_ptr<Buffer> data = map.getStreamData();
            QByteArray cmap(reinterpret_cast<const char *>(data->getBuffer()),
                            qsizetype(data->getSize()));
            if (!rewriteMap(cmap))
                continue;
            map.replaceStreamData(cmap.toStdString(), QPDFObjectHandle::newNull(),
                                  QPDFObjectHandle::newNull());
            changed = true;
        }
        if (!changed)
            return true;
        QPDFWriter writer(doc);
        writer.setOutputMemory();
        // The pages' streams go out as Qt wrote them; only the new maps are compressed.
        writer.setDecodeLevel(qpdf_dl_none);
        writer.setCompressStreams(true);
        writer.write();
        const std::shared_ptr<Buffer> out = writer.getBufferSharedPointer();
        pdf =
            QByteArray(reinterpret_cast<const char *>(out->getBuffer()), qsizetype(out->getSize()));
        return true;
    } catch (const std::exception &e) {
        why = QStringLiteral("متن فایل PDF آماده نشد: %1").arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
}
