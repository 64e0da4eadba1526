#include "recording/headel.hpp"

#include "base/errors.hpp"

#include <cstring>

namespace vibrolan {

bool HasHeadSignature(const void *vHead, std::size_t size)
{
    return vHead != nullptr && size >= kHeadSignature.size() &&
           std::memcmp(vHead, kHeadSignature.data(), kHeadSignature.size()) == 0;
}

THeadel::THeadel(std::uint32_t vSize) : own_(static_cast<std::size_t>(vSize) + 100, 0), size_(vSize)
{
    head_ = own_.data();
    writable_ = own_.data();
    limit_ = own_.size();
}

THeadel THeadel::CreateDefault()
{
    THeadel h(24);
    for (char c : kHeadSignature)
        h.PokeChar(c);
    h.PokeLongWord(24);
    h.PokeWord(666);
    h.PokeWord(0);
    h.PokeDouble(100.0);
    h.PokeWord(0);
    h.cur_ = 0;
    return h;
}

void THeadel::SetHead(const void *vHead, std::size_t size)
{
    if (vHead == nullptr)
        return;
    own_.clear();
    own_.shrink_to_fit();
    head_ = static_cast<const std::uint8_t *>(vHead);
    writable_ = nullptr;
    limit_ = size;
    cur_ = 0;
}

void THeadel::SetHead(void *vHead, std::size_t size)
{
    if (vHead == nullptr)
        return;
    SetHead(static_cast<const void *>(vHead), size);
    writable_ = static_cast<std::uint8_t *>(vHead);
}

const std::uint8_t *THeadel::take(std::size_t n)
{
    if (head_ == nullptr || cur_ > limit_ || n > limit_ - cur_)
        throw FormatError({}, "the recording header runs past the end of the data (" + std::to_string(n) +
                                  " bytes at offset " + std::to_string(cur_) + " of " +
                                  std::to_string(limit_) + ")");
    const std::uint8_t *p = head_ + cur_;
    cur_ += static_cast<std::uint32_t>(n);
    return p;
}

std::uint8_t *THeadel::put(std::size_t n)
{
    if (writable_ == nullptr)
        throw ValueError("the recording header is read-only here");
    const std::uint32_t at = cur_;
    take(n);
    return writable_ + at;
}

int THeadel::PeekByte(std::uint8_t &v)
{
    v = *take(1);
    return static_cast<int>(cur_);
}

int THeadel::PeekChar(char &v)
{
    v = static_cast<char>(*take(1));
    return static_cast<int>(cur_);
}

int THeadel::PeekWord(std::uint16_t &v)
{
    std::memcpy(&v, take(2), 2);
    return static_cast<int>(cur_);
}

int THeadel::PeekLongWord(std::uint32_t &v)
{
    std::memcpy(&v, take(4), 4);
    return static_cast<int>(cur_);
}

int THeadel::PeekDouble(double &v)
{
    std::memcpy(&v, take(8), 8);
    return static_cast<int>(cur_);
}

int THeadel::PeekString(std::string &v)
{
    const std::uint8_t n = *take(1);
    const std::uint8_t *p = take(n);
    v.assign(reinterpret_cast<const char *>(p), n);
    return static_cast<int>(cur_);
}

int THeadel::PokeByte(std::uint8_t v)
{
    *put(1) = v;
    return static_cast<int>(cur_);
}

int THeadel::PokeChar(char v) { return PokeByte(static_cast<std::uint8_t>(v)); }

int THeadel::PokeWord(std::uint16_t v)
{
    std::memcpy(put(2), &v, 2);
    return static_cast<int>(cur_);
}

int THeadel::PokeLongWord(std::uint32_t v)
{
    std::memcpy(put(4), &v, 4);
    return static_cast<int>(cur_);
}

int THeadel::PokeSingle(float v)
{
    std::memcpy(put(4), &v, 4);
    return static_cast<int>(cur_);
}

int THeadel::PokeDouble(double v)
{
    std::memcpy(put(8), &v, 8);
    return static_cast<int>(cur_);
}

int THeadel::PokeString(std::string_view v)
{
    if (v.size() >= 256)
        throw ValueError("range error: a header string holds at most 255 characters, got " +
                         std::to_string(v.size()));
    std::uint8_t *p = put(1 + v.size());
    p[0] = static_cast<std::uint8_t>(v.size());
    std::memcpy(p + 1, v.data(), v.size());
    return static_cast<int>(cur_);
}

std::span<const std::uint8_t> THeadel::bytes() const
{
    if (head_ == nullptr)
        return {};
    return {head_, std::min<std::size_t>(size_, limit_)};
}

} // namespace vibrolan
