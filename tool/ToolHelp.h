#pragma once

#include <QString>

// The descriptions the tool's help shows, kept as texts in the program's
// resources (tool/help/) rather than in the code.
namespace ToolHelp {

// The description of command, or of the whole tool when command is empty;
// dataFolder is the default data folder it names.
QString description(const QString &command, const QString &dataFolder);

} // namespace ToolHelp
