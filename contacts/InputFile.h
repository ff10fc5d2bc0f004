#pragma once

#include <memory>

#include <QByteArray>
#include <QString>

class InputBuffer;
class QIODevice;

// An input to import, read whole into memory and never past
// ContactImport::MaxInput, so the tool and the window refuse the same files.
class InputFile
{
public:
    // A regular file; bytes may point into buffer, which must outlive them.
    static bool read(const QString &name, QByteArray &bytes, std::unique_ptr<InputBuffer> &buffer,
                     QString &error);
    // A pipe or standard input.
    static bool readAtMost(QIODevice &in, QByteArray &out, QString &error);
};
