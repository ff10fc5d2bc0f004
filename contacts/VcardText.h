#pragma once

#include <algorithm>
#include <cstring>

#include <QByteArrayView>
#include <QString>

// The names and parameter words of vCard are ASCII, matched without regard to case.
namespace vcardtext {

constexpr char upper(char c)
{
    return c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

inline bool same(QByteArrayView a, QByteArrayView upperCase)
{
    if (a.size() != upperCase.size())
        return false;
    if (std::memcmp(a.data(), upperCase.data(), size_t(a.size())) == 0)
        return true;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (upper(a[i]) != upperCase[i])
            return false;
    return true;
}

inline bool contains(QByteArrayView hay, QByteArrayView upperCase)
{
    for (qsizetype i = 0; i + upperCase.size() <= hay.size(); ++i)
        if (same(hay.sliced(i, upperCase.size()), upperCase))
            return true;
    return false;
}

// A piece of a bad line, short enough for a message.
inline QString shown(QByteArrayView v)
{
    return QString::fromUtf8(v.first(std::min<qsizetype>(v.size(), 40)));
}

inline bool has(QByteArrayView v, char c)
{
    return !v.isEmpty() && std::memchr(v.data(), c, size_t(v.size())) != nullptr;
}

// Without the spaces and tabs around it.
inline QByteArrayView stripped(QByteArrayView v)
{
    while (!v.isEmpty() && (v.front() == ' ' || v.front() == '\t'))
        v = v.sliced(1);
    while (!v.isEmpty() && (v.back() == ' ' || v.back() == '\t'))
        v.chop(1);
    return v;
}

inline bool isBlank(QByteArrayView line)
{
    for (const char c : line)
        if (c != ' ' && c != '\t')
            return false;
    return true;
}

} // namespace vcardtext
