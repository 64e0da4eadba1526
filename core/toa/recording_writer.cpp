#include "toa/recording_writer.hpp"

namespace vibrolan::toa {

RecordingWriter::RecordingWriter(const std::filesystem::path &target, const RecordingHeader &header)
    : file_(target)
{
    const std::vector<std::uint8_t> bytes = buildRecordingHeader(header);
    file_.write(bytes.data(), bytes.size());
    buffer_.reserve(kBuffer);
}

void RecordingWriter::flush()
{
    file_.write(buffer_.data(), buffer_.size() * sizeof(TIndex));
    buffer_.clear();
}

void RecordingWriter::commit()
{
    flush();
    file_.commit();
}

} // namespace vibrolan::toa
