// A whole recording as one read-only memory image: a read-only mapping of a
// .bld file or the unpacked bytes of a .bldx file. The header is read when
// the image is made; records are addressed by their 6-byte slot number.
#pragma once

#include "recording/recording_header.hpp"
#include "recording/tindex.hpp"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <vector>

namespace vibrolan {

class RecordingImage {
public:
    // Maps the file read-only (POSIX open + mmap). Throws FileError when it
    // cannot be opened or mapped and FormatError for a malformed header.
    static RecordingImage mapFile(const std::filesystem::path &file);
    // Takes over bytes already in memory (an unpacked .bldx image).
    static RecordingImage fromBytes(std::vector<std::uint8_t> bytes, const std::filesystem::path &file = {});

    RecordingImage(RecordingImage &&) noexcept;
    RecordingImage &operator=(RecordingImage &&) noexcept;
    ~RecordingImage();

    std::span<const std::uint8_t> bytes() const { return {data_, size_}; }
    const RecordingHeader &header() const { return header_; }
    const std::filesystem::path &file() const { return file_; }

    // Number of whole 6-byte slots in the image (a shorter tail is no record).
    std::uint64_t slotCount() const { return size_ / 6; }
    std::uint64_t firstRecord() const { return header_.firstRecord(); }
    // Records from the first record slot to the last whole slot.
    std::uint64_t recordCount() const
    {
        return slotCount() > firstRecord() ? slotCount() - firstRecord() : 0;
    }
    // End (exclusive) of the processing pass: slotCount - 6 * countSensors,
    // never below the first record (an empty pass rather than an underflow).
    std::uint64_t passEnd(int countSensors) const;

    double tickPeriod() const { return header_.tickPeriod(); }
    double speedFactor() const { return header_.speedFactor(); }

    // The record in slot `slot`; throws ValueError past the last whole slot.
    TIndex record(std::uint64_t slot) const;
    // Unchecked variant for loops already bounded by slotCount().
    TIndex recordUnchecked(std::uint64_t slot) const { return loadRecord(data_ + slot * 6); }

private:
    struct Mapping;
    RecordingImage() = default;
    void readHeader();

    std::unique_ptr<Mapping> mapping_;
    std::vector<std::uint8_t> owned_;
    const std::uint8_t *data_ = nullptr;
    std::size_t size_ = 0;
    RecordingHeader header_;
    std::filesystem::path file_;
};

// Reads min(Size, file size) bytes of a file (the whole file when Size is 0)
// and sets Size to the number read; nullopt when the file cannot be opened or
// read. Files beyond 4 GiB are refused (the size is a 32-bit count).
std::optional<std::vector<std::uint8_t>> LoadFileToMemory(const std::filesystem::path &FileName,
                                                          std::uint32_t &Size);

// The uncompressed recording: header bytes (a multiple of 6, see
// buildRecordingHeader) followed by the records.
std::vector<std::uint8_t> recordingBytes(const RecordingHeader &header, std::span<const TIndex> records);
// Writes it to a file atomically. Throws FileError.
void writeRecordingFile(const std::filesystem::path &file, const RecordingHeader &header,
                        std::span<const TIndex> records);

// Asks the kernel to read bytes [offset, offset + length) of an image in
// ahead of use (a mapped file from a cold cache); harmless for memory.
void AdviseWillNeed(std::span<const std::uint8_t> image, std::size_t offset, std::size_t length);

} // namespace vibrolan
