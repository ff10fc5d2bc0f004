#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// The loss lines of an import as a person reads them: the first MaxLines as
// they are, then one line per kind of loss with its count, so a file with a
// loss on every row neither floods the terminal nor fills memory.
class LossReport
{
public:
    static constexpr qsizetype MaxLines = 1000;
    // Kinds counted one by one; the rest are counted together.
    static constexpr qsizetype MaxKinds = 100;
    // A longer line is cut: the values in it can be megabytes.
    static constexpr qsizetype MaxLineLength = 600;

    // Whether the next loss is only counted: its line need not be made.
    bool full() const { return m_shown >= MaxLines; }
    // kind: what was lost, e.g. the field or property.
    void add(const QString &kind, const QString &line);
    void count(const QString &kind);
    // A line about a file as a whole, always said; at: where, as mark() gave it.
    qsizetype mark() const { return m_lines.size(); }
    void say(qsizetype at, const QString &line) { m_lines.insert(at, line); }
    QStringList lines() const;

private:
    QStringList m_lines;
    qsizetype m_shown = 0;
    QList<std::pair<QString, qint64>> m_counts; // in the order first met
    QHash<QString, qsizetype> m_kindAt;
    qint64 m_others = 0;
};
