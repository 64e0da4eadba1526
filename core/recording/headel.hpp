// THeadel reads and writes the recording header field by field over a memory
// image with a moving cursor. Unlike the recorder's original reader it knows
// how many bytes it may touch: a peek or poke past them throws FormatError
// instead of reading or writing outside the image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vibrolan {

// True when the image starts with "RecBld" (false for fewer than 6 bytes).
bool HasHeadSignature(const void *vHead, std::size_t size);
inline bool HasHeadSignature(std::span<const std::uint8_t> image)
{
    return HasHeadSignature(image.data(), image.size());
}

inline constexpr std::string_view kHeadSignature = "RecBld";

class THeadel {
public:
    // No buffer yet: SetHead gives one.
    THeadel() = default;
    // Create: an owned buffer of vSize + 100 zero bytes; fSize := vSize.
    explicit THeadel(std::uint32_t vSize);
    // CreateDefault: the 24-byte default header ("RecBld", HeadLength 24,
    // RecorderCode 666, no channels, RecordDate 100.0, HeadTail 0) in an owned
    // buffer of 124 bytes; fSize := 24, cursor at 0.
    static THeadel CreateDefault();

    THeadel(THeadel &&) noexcept = default;
    THeadel &operator=(THeadel &&) noexcept = default;
    THeadel(const THeadel &) = delete;
    THeadel &operator=(const THeadel &) = delete;

    // Reads a caller's buffer of `size` bytes; the caller keeps owning it.
    // Pokes on a read-only head are refused. A null head changes nothing.
    void SetHead(const void *vHead, std::size_t size);
    // The same for a writable caller's buffer.
    void SetHead(void *vHead, std::size_t size);

    int PeekByte(std::uint8_t &v);
    int PeekChar(char &v);
    int PeekWord(std::uint16_t &v);
    int PeekLongWord(std::uint32_t &v);
    int PeekDouble(double &v);
    // One length byte n, then n 8-bit characters (returned unconverted).
    int PeekString(std::string &v);

    int PokeByte(std::uint8_t v);
    int PokeChar(char v);
    int PokeWord(std::uint16_t v);
    int PokeLongWord(std::uint32_t v);
    int PokeSingle(float v);
    int PokeDouble(double v);
    // A string of 256 or more bytes is refused (ValueError) and nothing is written.
    int PokeString(std::string_view v);

    std::uint32_t Cur() const { return cur_; }
    void setCur(std::uint32_t cur) { cur_ = cur; }
    const std::uint8_t *CurPointer() const { return head_ + cur_; }
    std::uint32_t fSize() const { return size_; }
    void setFSize(std::uint32_t size) { size_ = size; }
    // The fSize bytes of the head.
    std::span<const std::uint8_t> bytes() const;
    bool ownsBuffer() const { return !own_.empty(); }

private:
    const std::uint8_t *take(std::size_t n);
    std::uint8_t *put(std::size_t n);

    std::vector<std::uint8_t> own_;
    const std::uint8_t *head_ = nullptr;
    std::uint8_t *writable_ = nullptr;
    std::size_t limit_ = 0; // bytes addressable from head_
    std::uint32_t cur_ = 0;
    std::uint32_t size_ = 0;
};

} // namespace vibrolan
