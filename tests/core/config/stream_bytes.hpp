// Builds expected configuration streams byte by byte from the format's own
// rules (tag byte, little-endian payload), independently of the writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace vibrolan::test {

class StreamBytes {
public:
    StreamBytes &raw(std::initializer_list<int> bytes)
    {
        for (int b : bytes)
            data_.push_back(static_cast<std::uint8_t>(b));
        return *this;
    }
    StreamBytes &text(const std::string &bytes) // bytes as given, no tag
    {
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return *this;
    }
    StreamBytes &le(std::uint64_t v, int n)
    {
        for (int i = 0; i < n; ++i)
            data_.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
        return *this;
    }
    StreamBytes &int8(int v) { return raw({2}).le(static_cast<std::uint8_t>(v), 1); }
    StreamBytes &int16(int v) { return raw({3}).le(static_cast<std::uint16_t>(v), 2); }
    StreamBytes &int32(std::int64_t v) { return raw({4}).le(static_cast<std::uint32_t>(v), 4); }
    // vaString with the bytes given (already in the 8-bit code page).
    StreamBytes &str(const std::string &bytes)
    {
        raw({6, static_cast<int>(bytes.size())});
        return text(bytes);
    }
    StreamBytes &boolean(bool v) { return raw({v ? 9 : 8}); }
    StreamBytes &singleBits(std::uint32_t bits) { return raw({15}).le(bits, 4); }
    StreamBytes &single(float v)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &v, 4);
        return singleBits(bits);
    }
    // vaExtended from its mantissa and sign/exponent word.
    StreamBytes &extended(std::uint64_t mantissa, std::uint16_t signExponent)
    {
        return raw({5}).le(mantissa, 8).le(signExponent, 2);
    }
    const std::vector<std::uint8_t> &bytes() const { return data_; }
    std::size_t size() const { return data_.size(); }

private:
    std::vector<std::uint8_t> data_;
};

} // namespace vibrolan::test
