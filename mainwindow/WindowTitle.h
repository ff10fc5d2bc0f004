#pragma once

#include <QString>

#include "HalvexInfo.h"

// The title of the window's message boxes. Only sources include this: the
// program's name is not part of the library's headers.
inline const QString kTitle = QLatin1String(HalvexInfo::Name);
