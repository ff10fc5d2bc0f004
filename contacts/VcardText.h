#pragma once

#include <algorithm>
#include <cstring>

#include <QByteArray>
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

inline int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// An =XX that is not two hex digits stays as it is.
inline QByteArray fromQuotedPrintable(QByteArrayView in)
{
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        if (in[i] == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 &&
            hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else {
            out += in[i];
        }
    }
    return out;
}

} // namespace vcardtext
