#include "contacts/CardReader.h"

#include <QStringDecoder>

#include "store/Cp1256Codec.h"

using namespace vcardtext;
using Kind = VcardProperty::Kind;

void CardReader::take(const VcardProperty &p)
{
    if (p.kind == Kind::Version) {
        m_v21 = stripped(p.value) == "2.1";
        m_versionSeen = true;
        flushWaiting();
        return;
    }
    if (m_versionSeen)
        use(p);
    else
        m_waiting.push_back(p);
}

void CardReader::finish()
{
    flushWaiting();
    // Labels of grouped numbers may follow them: these were kept till now.
    for (const VcardProperty &tel : m_tels)
        takePhone(tel);
    m_phones.finish();
    if (m_hasFn && m_draft.name.isEmpty() && m_draft.family.isEmpty())
        splitFormattedName();
    if (m_draft.address.isEmpty() && m_hasLabel)
        m_draft.address = m_label;
    if (!m_dropped.isEmpty())
        note(m_dropped.join(QStringLiteral(", ")),
             QStringLiteral("در فايل داده جايي ندارد و ذخيره نشد."));
}

void CardReader::flushWaiting()
{
    for (const VcardProperty &w : m_waiting)
        use(w);
    m_waiting.clear();
}

void CardReader::use(const VcardProperty &p)
{
    switch (p.kind) {
    case Kind::N:
        if (m_seenN)
            drop(p);
        else
            takeName(p);
        m_seenN = true;
        break;
    case Kind::FN:
        if (m_hasFn) {
            drop(p);
        } else {
            m_fn = text(p);
            m_hasFn = true;
        }
        break;
    case Kind::Tel:
        if (!p.group.isEmpty() || !m_tels.empty())
            m_tels.push_back(p); // keeps the order of the numbers
        else
            takePhone(p);
        break;
    case Kind::Adr:
        if (!m_seenAdr) {
            takeAddress(p);
            m_seenAdr = true;
        } else if (!isBlank(p.value)) {
            const QString extra = joinAddress(p).toString();
            if (!extra.isEmpty())
                note(QStringLiteral("ADR"),
                     QStringLiteral("نشاني ديگر «%1» ذخيره نشد: فقط يک نشاني جا دارد.").arg(extra));
        }
        break;
    case Kind::Label:
        if (!m_hasLabel) {
            m_label = text(p);
            m_hasLabel = true;
        }
        break;
    case Kind::HalvexId:
        if (!m_draft.id)
            m_draft.id = text(p);
        break;
    case Kind::AbLabel:
        if (!p.group.isEmpty()) // copied: a folded line's buffer goes with the line
            m_labels.append({p.group.toByteArray(), p.value.toByteArray()});
        break;
    case Kind::Other:
        drop(p);
        break;
    default:
        break;
    }
}

void CardReader::drop(const VcardProperty &p)
{
    if (isBlank(p.value))
        return;
    const QString name = QString::fromLatin1(p.name).toUpper();
    if (!m_dropped.contains(name))
        m_dropped << name;
}

bool CardReader::labelSaysMobile(const VcardProperty &tel) const
{
    if (tel.group.isEmpty())
        return false;
    for (const auto &[group, label] : m_labels)
        if (group.size() == tel.group.size() &&
            same(group, QByteArray(tel.group.data(), tel.group.size()).toUpper()) &&
            (contains(label, "MOBILE") || contains(label, "CELL") || contains(label, "IPHONE") ||
             contains(label, "موبایل") || contains(label, "موبايل") || contains(label, "همراه")))
            return true;
    return false;
}

bool CardReader::plain(const VcardProperty &p) const
{
    if (!p.encoding.isEmpty() || has(p.value, '\\'))
        return false;
    return p.charset.isEmpty() || same(p.charset, "UTF-8") || same(p.charset, "UTF8");
}

QByteArray CardReader::rawBytes(const VcardProperty &p)
{
    if (p.quotedPrintable())
        return fromQuotedPrintable(p.value);
    if (p.base64()) {
        auto decoded = QByteArray::fromBase64Encoding(p.value.trimmed().toByteArray());
        if (decoded)
            return *decoded;
        note(QString::fromLatin1(p.name).toUpper(),
             QStringLiteral("مقدار base64 خراب است؛ همان طور که نوشته شده خوانده شد."));
    }
    return p.value.toByteArray();
}

QString CardReader::decoded(const VcardProperty &p)
{
    const QByteArray bytes = rawBytes(p);
    const QByteArrayView charset = p.charset;
    if (charset.isEmpty() || same(charset, "UTF-8") || same(charset, "UTF8"))
        return QString::fromUtf8(bytes);
    if (same(charset, "WINDOWS-1256") || same(charset, "CP1256"))
        return Cp1256Codec::decode(bytes);
    if (same(charset, "US-ASCII") || same(charset, "ISO-8859-1") || same(charset, "LATIN1"))
        return QString::fromLatin1(bytes);
    const QByteArray name = charset.toByteArray();
    QStringDecoder named(name.constData());
    if (named.isValid())
        return named(bytes);
    note(QString::fromLatin1(p.name).toUpper(),
         QStringLiteral("کدگذاري %1 شناخته نيست؛ مقدار به صورت UTF-8 خوانده شد.")
             .arg(QString::fromLatin1(name.left(40))));
    return QString::fromUtf8(bytes);
}

char16_t CardReader::escaped(QChar c) const
{
    switch (c.unicode()) {
    case u'\\':
    case u';':
    case u',':
        return c.unicode();
    case u'n':
    case u'N':
        return m_v21 ? 0 : u'\n';
    case u':':
        return m_v21 ? 0 : u':';
    default:
        return 0;
    }
}

QString CardReader::unescape(QStringView s) const
{
    if (!s.contains(u'\\'))
        return s.toString();
    QString out;
    out.reserve(s.size());
    for (qsizetype i = 0; i < s.size(); ++i) {
        if (s[i] == u'\\' && i + 1 < s.size()) {
            if (const char16_t e = escaped(s[i + 1])) {
                out += QChar(e);
                ++i;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

DraftText CardReader::text(const VcardProperty &p)
{
    if (plain(p))
        return DraftText::utf8(p.value, p.owned);
    return unescape(decoded(p));
}

QString CardReader::joinNonEmpty(const QStringList &values, const QString &sep)
{
    QStringList kept;
    for (const QString &v : values)
        if (!v.isEmpty())
            kept << v;
    return kept.join(sep);
}

CardReader::Pieces CardReader::structured(const VcardProperty &p, const QString &sep)
{
    Pieces out;
    if (plain(p)) {
        QByteArrayView rest = p.value;
        for (;;) {
            const auto *semi =
                static_cast<const char *>(std::memchr(rest.data(), ';', size_t(rest.size())));
            const QByteArrayView comp = semi ? rest.first(semi - rest.data()) : rest;
            if (m_v21 || !has(comp, ',')) {
                out.append(Piece{comp, {}, true});
            } else {
                QStringList items;
                for (const QByteArrayView item : comp.toByteArray().split(','))
                    items << QString::fromUtf8(item);
                out.append(Piece{{}, joinNonEmpty(items, sep), false});
            }
            if (!semi)
                break;
            rest = rest.sliced(semi - rest.data() + 1);
        }
        return out;
    }
    const QString s = decoded(p);
    QStringList items;
    QString cur;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c == u'\\' && i + 1 < s.size()) {
            if (const char16_t e = escaped(s[i + 1])) {
                cur += QChar(e);
                ++i;
                continue;
            }
        }
        if (c == u';') {
            items << cur;
            out.append(Piece{{}, joinNonEmpty(items, sep), false});
            items.clear();
            cur.clear();
        } else if (c == u',' && !m_v21) {
            items << cur;
            cur.clear();
        } else {
            cur += c;
        }
    }
    items << cur;
    out.append(Piece{{}, joinNonEmpty(items, sep), false});
    return out;
}

DraftText CardReader::draftOf(const VcardProperty &p, const Piece &piece)
{
    return piece.isView ? DraftText::utf8(piece.view, p.owned) : DraftText(piece.text);
}

void CardReader::takeName(const VcardProperty &n)
{
    const Pieces c = structured(n, QStringLiteral(" "));
    if (!c.isEmpty())
        m_draft.family = draftOf(n, c[0]);
    if (c.size() > 1)
        m_draft.name = draftOf(n, c[1]);
    const QString parts[] = {QStringLiteral("نام مياني"), QStringLiteral("پيشوند"),
                             QStringLiteral("پسوند")};
    for (int k = 2; k < 5 && k < c.size(); ++k)
        if (!c[k].isEmpty())
            note(QStringLiteral("N"),
                 QStringLiteral("%1 «%2» ذخيره نشد.").arg(parts[k - 2], c[k].toString()));
}

void CardReader::splitFormattedName()
{
    if (m_fn.isUtf8()) {
        const QByteArrayView v = m_fn.utf8View();
        const qsizetype space = v.lastIndexOf(' ');
        m_draft.name = m_fn.part(space < 0 ? v : v.first(space));
        m_draft.family = m_fn.part(space < 0 ? QByteArrayView() : v.sliced(space + 1));
        return;
    }
    const QString s = m_fn.toString();
    const qsizetype space = s.lastIndexOf(u' ');
    m_draft.name = space < 0 ? s : s.left(space);
    m_draft.family = space < 0 ? QString() : s.mid(space + 1);
}

void CardReader::takePhone(const VcardProperty &p)
{
    DraftText number = text(p);
    // Only a URI value is a tel: URI; as text, "tel:" is part of the number.
    if (p.uri && number.isUtf8()) {
        const QByteArrayView v = number.utf8View();
        if (v.size() >= 4 && same(v.first(4), "TEL:"))
            number = number.part(v.sliced(4));
    } else if (p.uri) {
        QString s = number.toString();
        if (s.startsWith(QStringLiteral("tel:"), Qt::CaseInsensitive))
            number = s.mid(4);
    }
    m_phones.add(std::move(number), labelSaysMobile(p) ? PhoneChoice::Mobile : p.tel, p.line);
}

DraftText CardReader::joinAddress(const VcardProperty &p)
{
    const Pieces comps = structured(p, QStringLiteral(", "));
    const Piece *only = nullptr;
    int filled = 0;
    for (const Piece &c : comps)
        if (!c.isEmpty() && filled++ == 0)
            only = &c;
    if (filled <= 1)
        return only ? draftOf(p, *only) : DraftText();
    QStringList parts;
    for (const Piece &c : comps)
        if (!c.isEmpty())
            parts << c.toString();
    return parts.join(QStringLiteral(", "));
}

void CardReader::takeAddress(const VcardProperty &adr)
{
    m_draft.address = joinAddress(adr);
    if (!m_draft.address.isEmpty())
        return;
    QByteArray label;
    VcardProperty::forEachParam(adr.params, [&label](QByteArrayView k, QByteArrayView v) {
        if (same(k, "LABEL"))
            label += (label.isEmpty() ? "" : ",") + v.toByteArray();
    });
    if (!label.isEmpty())
        m_draft.address = unescape(QString::fromUtf8(label));
}
