#include "recording/recording_image.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/unique_fd.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan {

struct RecordingImage::Mapping {
    void *address = MAP_FAILED;
    std::size_t length = 0;
    Mapping() = default;
    Mapping(const Mapping &) = delete;
    Mapping &operator=(const Mapping &) = delete;
    ~Mapping()
    {
        if (address != MAP_FAILED)
            ::munmap(address, length);
    }
};

RecordingImage::RecordingImage(RecordingImage &&) noexcept = default;
RecordingImage &RecordingImage::operator=(RecordingImage &&) noexcept = default;
RecordingImage::~RecordingImage() = default;

RecordingImage RecordingImage::mapFile(const std::filesystem::path &file)
{
    UniqueFd fd = openRegularFileForReading(file);
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0)
        throw FileError(file, "cannot read: " + systemErrorText(errno));
    RecordingImage image;
    image.file_ = file;
    image.mapping_ = std::make_unique<Mapping>();
    if (st.st_size > 0) {
        const auto length = static_cast<std::size_t>(st.st_size);
        void *address = ::mmap(nullptr, length, PROT_READ, MAP_PRIVATE, fd.get(), 0);
        if (address == MAP_FAILED)
            throw FileError(file, "cannot map: " + systemErrorText(errno));
        // The pass walks the records in order: the kernel may read ahead far
        // and need not keep what lies behind (it matters with a cold cache).
        (void)::madvise(address, length, MADV_SEQUENTIAL);
        image.mapping_->address = address;
        image.mapping_->length = length;
        image.data_ = static_cast<const std::uint8_t *>(address);
        image.size_ = length;
    }
    image.readHeader();
    return image;
}

RecordingImage RecordingImage::fromBytes(std::vector<std::uint8_t> bytes, const std::filesystem::path &file)
{
    RecordingImage image;
    image.file_ = file;
    image.owned_ = std::move(bytes);
    image.data_ = image.owned_.data();
    image.size_ = image.owned_.size();
    image.readHeader();
    return image;
}

void RecordingImage::readHeader() { header_ = readRecordingHeader(bytes(), file_); }

std::uint64_t RecordingImage::passEnd(int countSensors) const
{
    const std::int64_t end =
        static_cast<std::int64_t>(slotCount()) - 6 * static_cast<std::int64_t>(std::max(countSensors, 0));
    return std::max<std::int64_t>(end, static_cast<std::int64_t>(firstRecord()));
}

TIndex RecordingImage::record(std::uint64_t slot) const
{
    if (slot >= slotCount())
        throw ValueError("record slot " + std::to_string(slot) + " is past the end of the recording (" +
                         std::to_string(slotCount()) + " slots)");
    return recordUnchecked(slot);
}

std::optional<std::vector<std::uint8_t>> LoadFileToMemory(const std::filesystem::path &FileName,
                                                          std::uint32_t &Size)
{
    // Not blocking on a FIFO: anything but a regular file is refused below.
    UniqueFd fd(::open(FileName.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0)
        return std::nullopt;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size > UINT32_MAX)
        return std::nullopt;
    const auto fileSize = static_cast<std::uint32_t>(st.st_size);
    const std::uint32_t want = Size == 0 ? fileSize : std::min(Size, fileSize);
    std::vector<std::uint8_t> block(want);
    std::size_t got = 0;
    while (got < want) {
        const ssize_t r = ::read(fd.get(), block.data() + got, want - got);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            return std::nullopt;
        if (r == 0)
            break;
        got += static_cast<std::size_t>(r);
    }
    block.resize(got);
    Size = static_cast<std::uint32_t>(got);
    return block;
}

std::vector<std::uint8_t> recordingBytes(const RecordingHeader &header, std::span<const TIndex> records)
{
    std::vector<std::uint8_t> bytes = buildRecordingHeader(header);
    const std::size_t at = bytes.size();
    bytes.resize(at + records.size() * sizeof(TIndex));
    for (std::size_t i = 0; i < records.size(); ++i)
        storeRecord(bytes.data() + at + 6 * i, records[i]);
    return bytes;
}

void writeRecordingFile(const std::filesystem::path &file, const RecordingHeader &header,
                        std::span<const TIndex> records)
{
    writeFileAtomically(file, recordingBytes(header, records));
}

void AdviseWillNeed(std::span<const std::uint8_t> image, std::size_t offset, std::size_t length)
{
    if (offset >= image.size())
        return;
    length = std::min(length, image.size() - offset);
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    const auto from = reinterpret_cast<std::uintptr_t>(image.data() + offset) & ~(page - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(image.data() + offset + length);
    (void)::madvise(reinterpret_cast<void *>(from), to - from, MADV_WILLNEED);
}

} // namespace vibrolan
