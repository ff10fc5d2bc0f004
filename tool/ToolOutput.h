#pragma once

#include <QByteArrayView>

class QIODevice;
class QString;

// How the tool's commands write: a line of text, or bytes until all are out.
namespace ToolOutput {

void say(QIODevice &device, const QString &line);
// False once the device takes nothing more (a full disk, a closed pipe).
bool writeAll(QIODevice &device, QByteArrayView bytes);

} // namespace ToolOutput
