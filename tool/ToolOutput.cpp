#include "tool/ToolOutput.h"

#include <QIODevice>
#include <QString>

namespace ToolOutput {

void say(QIODevice &device, const QString &line)
{
    device.write(line.toUtf8() + '\n');
}

bool writeAll(QIODevice &device, QByteArrayView bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const qint64 n = device.write(bytes.constData() + done, bytes.size() - done);
        if (n <= 0)
            return false;
        done += n;
    }
    return true;
}

} // namespace ToolOutput
