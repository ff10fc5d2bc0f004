#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include "contacts/ContactDraft.h"

// Brings an input file to UTF-8 text before a reader sees it.
class TextInput
{
public:
    // A longer line is refused: no contact needs it, and it is how a binary or
    // runaway file usually shows itself.
    static constexpr qsizetype MaxLine = 8 * 1024 * 1024;

    // The UTF-8 text of a file: a view into bytes without a UTF-8 byte-order
    // mark, or into converted when it was UTF-16 that starts with one. A NUL
    // byte means the file is not text: false, with the error and its line set.
    static bool prepare(QByteArrayView bytes, QByteArray &converted, QByteArrayView &text,
                        ReadResult &result);

    static bool isUtf8(QByteArrayView bytes);
    // 1-based line of a byte offset, counting LF (or CR in a file without LF).
    static qsizetype lineOf(QByteArrayView bytes, qsizetype offset);
};
