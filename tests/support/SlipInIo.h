#pragma once

#include <functional>
#include <utility>

#include "store/StoreIo.h"

// Runs another writer once, just before the store takes its next lock: the
// moment between a caller's look at the file and its write.
class SlipInIo : public StoreIo
{
public:
    explicit SlipInIo(std::function<void()> writer) : m_writer(std::move(writer)) {}
    int flock(int fd, int operation) override
    {
        if (auto writer = std::exchange(m_writer, {}))
            writer();
        return StoreIo::flock(fd, operation);
    }

private:
    std::function<void()> m_writer;
};
