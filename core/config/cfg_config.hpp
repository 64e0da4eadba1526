// The base of every configuration that stores itself as a signed stream of
// tagged values: a signature, then the fields in the class's fixed order.
#pragma once

#include "base/message_sink.hpp"
#include "config/cfg_filer.hpp"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace vibrolan {

class TConfig {
public:
    explicit TConfig(std::string Sign) : Signature(std::move(Sign)) {}
    virtual ~TConfig() = default;
    TConfig(const TConfig &) = default;
    TConfig &operator=(const TConfig &) = default;

    virtual void InitDefault() = 0;
    virtual void WriteData() = 0; // writes through Writer
    virtual void ReadData() = 0;  // reads through Reader

    // Reads the whole file and calls ReadData. A file that cannot be opened is
    // a FileError; a stream that cannot be read (wrong signature, ends too
    // early) a FormatError naming the file with the reader's message. The
    // fields read before the failure keep their new values.
    void LoadFromFile(const std::filesystem::path &FileName);

    // Writes the configuration. A name without extension writes nothing; a
    // read-only file is left alone and the notice (caption: the file name,
    // text "read-only") goes to `messages`. The file is replaced only when the
    // whole stream is ready, so a failed save never damages it (FileError).
    void SaveToFile(const std::filesystem::path &FileName, MessageSink &messages);

    // The same on a stream (the reader's buffer holds the whole rest of it).
    // Read failures are TCfgReadError with the reader's message.
    void LoadFromStream(TStream &stream);
    void SaveToStream(TStream &stream);
    std::vector<std::uint8_t> SaveToBytes();

    std::string Signature;
    std::int64_t FileLength = 0;
    TCfgWriter *Writer = nullptr; // present only while saving
    TCfgReader *Reader = nullptr; // present only while loading

    // Larger files are refused: a real configuration is a few hundred kilobytes.
    static constexpr std::uint64_t kMaxFileSize = std::uint64_t{64} << 20;
    static constexpr std::size_t kWriterBufferSize = 4096;
};

} // namespace vibrolan
