// A fixed-size array that takes its memory at the first write. The result
// arrays of the configuration (per blade, per harmonic) are large and mostly
// unused: a configuration with all of them inline weighs several megabytes,
// which made every temporary configuration slow to create. Reading an array
// that was never written gives zero values, as the inline array would.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <stdexcept>

namespace vibrolan {

template <class T, std::size_t N> class LazyArray {
public:
    using value_type = T;

    LazyArray() = default;
    LazyArray(const LazyArray &other)
        : block_(other.block_ ? std::make_unique<Block>(*other.block_) : nullptr)
    {
    }
    LazyArray &operator=(const LazyArray &other)
    {
        if (this != &other)
            block_ = other.block_ ? std::make_unique<Block>(*other.block_) : nullptr;
        return *this;
    }
    LazyArray(LazyArray &&) noexcept = default;
    LazyArray &operator=(LazyArray &&) noexcept = default;
    ~LazyArray() = default;

    T &operator[](std::size_t i) { return storage()[i]; }
    const T &operator[](std::size_t i) const { return view()[i]; }
    T &at(std::size_t i) { return storage().at(i); }
    const T &at(std::size_t i) const { return view().at(i); }

    static constexpr std::size_t size() { return N; }
    T *data() { return storage().data(); }
    const T *data() const { return view().data(); }
    T *begin() { return data(); }
    T *end() { return data() + N; }
    const T *begin() const { return data(); }
    const T *end() const { return data() + N; }

    void fill(const T &value) { storage().fill(value); }
    bool allocated() const { return block_ != nullptr; }
    // Back to all zero, releasing the memory.
    void release() { block_.reset(); }

private:
    using Block = std::array<T, N>;

    Block &storage()
    {
        if (!block_)
            block_ = std::make_unique<Block>(); // value-initialised: all zero
        return *block_;
    }
    const Block &view() const
    {
        static const Block kZero{};
        return block_ ? *block_ : kZero;
    }

    std::unique_ptr<Block> block_;
};

// One owned value that is present or not, copied with its owner. Used for
// blocks that are allocated and released during a run, with the interface of
// std::optional but without its inline footprint.
template <class T> class OwnedBlock {
public:
    OwnedBlock() = default;
    OwnedBlock(const OwnedBlock &other) : value_(other.value_ ? std::make_unique<T>(*other.value_) : nullptr)
    {
    }
    OwnedBlock &operator=(const OwnedBlock &other)
    {
        if (this != &other)
            value_ = other.value_ ? std::make_unique<T>(*other.value_) : nullptr;
        return *this;
    }
    OwnedBlock(OwnedBlock &&) noexcept = default;
    OwnedBlock &operator=(OwnedBlock &&) noexcept = default;
    ~OwnedBlock() = default;

    T &emplace()
    {
        value_ = std::make_unique<T>(); // value-initialised: all zero
        return *value_;
    }
    void reset() { value_.reset(); }
    bool has_value() const { return value_ != nullptr; }
    explicit operator bool() const { return has_value(); }
    T &operator*() { return *value_; }
    const T &operator*() const { return *value_; }
    T *operator->() { return value_.get(); }
    const T *operator->() const { return value_.get(); }

private:
    std::unique_ptr<T> value_;
};

} // namespace vibrolan
