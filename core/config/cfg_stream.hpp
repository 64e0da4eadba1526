// The byte streams that the configuration filers read and write.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vibrolan {

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to `count` bytes; returns how many were read (0 at the end).
    virtual std::size_t Read(void *buffer, std::size_t count) = 0;
    virtual void Write(const void *buffer, std::size_t count) = 0;
    virtual std::uint64_t Position() const = 0;
    virtual void Seek(std::uint64_t position) = 0;
    virtual std::uint64_t Size() const = 0;
};

// A growable in-memory stream; writing past the end extends it.
class TMemoryStream final : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

    std::size_t Read(void *buffer, std::size_t count) override;
    void Write(const void *buffer, std::size_t count) override;
    std::uint64_t Position() const override { return position_; }
    void Seek(std::uint64_t position) override { position_ = position; }
    std::uint64_t Size() const override { return bytes_.size(); }

    const std::vector<std::uint8_t> &Bytes() const { return bytes_; }
    std::vector<std::uint8_t> TakeBytes() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

} // namespace vibrolan
