#include "config/cfg_stream.hpp"

#include <algorithm>
#include <cstring>

namespace vibrolan {

std::size_t TMemoryStream::Read(void *buffer, std::size_t count)
{
    if (position_ >= bytes_.size() || count == 0)
        return 0;
    const std::size_t n = std::min<std::uint64_t>(count, bytes_.size() - position_);
    std::memcpy(buffer, bytes_.data() + position_, n);
    position_ += n;
    return n;
}

void TMemoryStream::Write(const void *buffer, std::size_t count)
{
    if (count == 0)
        return;
    const std::uint64_t end = position_ + count;
    if (end > bytes_.size())
        bytes_.resize(end);
    std::memcpy(bytes_.data() + position_, buffer, count);
    position_ = end;
}

} // namespace vibrolan
