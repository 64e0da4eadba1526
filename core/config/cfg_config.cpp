#include "config/cfg_config.hpp"

#include "base/errors.hpp"
#include "base/file_io.hpp"

namespace vibrolan {

namespace {

// Clears a Reader/Writer pointer however the call ends.
template <class T> class Attach {
public:
    Attach(T *&slot, T &value) : slot_(slot) { slot_ = &value; }
    Attach(const Attach &) = delete;
    Attach &operator=(const Attach &) = delete;
    ~Attach() { slot_ = nullptr; }

private:
    T *&slot_;
};

} // namespace

void TConfig::LoadFromStream(TStream &stream)
{
    FileLength = static_cast<std::int64_t>(stream.Size());
    const std::uint64_t rest = stream.Size() > stream.Position() ? stream.Size() - stream.Position() : 0;
    TCfgReader reader(stream, static_cast<std::size_t>(rest));
    Attach<TCfgReader> attached(Reader, reader);
    ReadData();
}

void TConfig::LoadFromFile(const std::filesystem::path &FileName)
{
    TMemoryStream stream(readWholeFile(FileName, kMaxFileSize));
    try {
        LoadFromStream(stream);
    } catch (const TCfgReadError &e) {
        throw FormatError(FileName, e.what());
    }
}

void TConfig::SaveToStream(TStream &stream)
{
    TCfgWriter writer(stream, kWriterBufferSize);
    Attach<TCfgWriter> attached(Writer, writer);
    WriteData();
    writer.FlushBuffer();
}

std::vector<std::uint8_t> TConfig::SaveToBytes()
{
    TMemoryStream stream;
    SaveToStream(stream);
    return stream.TakeBytes();
}

void TConfig::SaveToFile(const std::filesystem::path &FileName, MessageSink &messages)
{
    if (!FileName.has_extension())
        return;
    if (isReadOnlyFile(FileName)) {
        messages.show(Message{FileName.string(), "read-only", Buttons::Ok, Severity::Information});
        return;
    }
    writeFileAtomically(FileName, SaveToBytes());
}

} // namespace vibrolan
