#pragma once

#include <vector>

#include <QtGlobal>

struct DuplicateGroup
{
    std::vector<qint64> positions; // 0-based record positions in file order; the first is kept
    bool mergeable = false;        // no two different non-empty values in any field
};
