#include "contacts/LossReport.h"

namespace {

QString cut(const QString &text, qsizetype most)
{
    return text.size() <= most ? text : text.left(most - 1) + u'…';
}

} // namespace

void LossReport::add(const QString &kind, const QString &line)
{
    if (full()) {
        count(kind);
        return;
    }
    m_lines << cut(line, MaxLineLength);
    ++m_shown;
}

void LossReport::count(const QString &kind)
{
    const QString k = cut(kind, 80);
    if (const auto it = m_kindAt.constFind(k); it != m_kindAt.cend())
        ++m_counts[*it].second;
    else if (m_counts.size() < MaxKinds)
        m_kindAt.insert(k, m_counts.size()), m_counts.append({k, 1});
    else
        ++m_others;
}

QStringList LossReport::lines() const
{
    QStringList out = m_lines;
    if (m_counts.isEmpty())
        return out;
    out << QStringLiteral("پس از %1 سطر، بقيه فقط شمرده شد:").arg(MaxLines);
    for (const auto &[kind, count] : m_counts)
        out << QStringLiteral("  %1: %2 مورد ديگر").arg(kind).arg(count);
    if (m_others > 0)
        out << QStringLiteral("  ديگر: %1 مورد").arg(m_others);
    return out;
}
