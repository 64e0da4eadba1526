#include "config/cfg_filer.hpp"

#include "base/code_pages.hpp"
#include "config/extended_float.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace vibrolan {

namespace {

template <class T> T fromLittleEndian(const std::uint8_t *p)
{
    using U = std::make_unsigned_t<T>;
    U v = 0;
    for (std::size_t i = sizeof(T); i-- > 0;)
        v = static_cast<U>((v << 8) | p[i]);
    return static_cast<T>(v);
}

template <class T> std::array<std::uint8_t, sizeof(T)> toLittleEndian(T value)
{
    using U = std::make_unsigned_t<T>;
    auto v = static_cast<U>(value);
    std::array<std::uint8_t, sizeof(T)> out{};
    for (std::size_t i = 0; i < sizeof(T); ++i)
        out[i] = static_cast<std::uint8_t>(v >> (8 * i));
    return out;
}

bool equalsNoCase(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) {
                   return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
               };
               return lower(x) == lower(y);
           });
}

bool isIntegerTag(TValueType tag)
{
    return tag == TValueType::vaInt8 || tag == TValueType::vaInt16 || tag == TValueType::vaInt32;
}

} // namespace

TCfgFiler::TCfgFiler(TStream &Stream, std::size_t BufSize)
    : FStream(Stream), FBuffer(std::max<std::size_t>(BufSize, 1)), FBufSize(std::max<std::size_t>(BufSize, 1))
{
}

// ---------------------------------------------------------------- writer

TCfgWriter::TCfgWriter(TStream &Stream, std::size_t BufSize) : TCfgFiler(Stream, BufSize) {}

TCfgWriter::~TCfgWriter()
{
    try {
        WriteBuffer();
    } catch (...) { // NOLINT(bugprone-empty-catch): a destructor must not throw
    }
}

void TCfgWriter::WriteBuffer()
{
    const std::size_t high = std::max(FBufPos, FBufHigh);
    if (high > 0)
        FStream.Write(FBuffer.data(), high);
    if (FBufPos < high) // Position was moved back inside the buffer
        FStream.Seek(FStream.Position() - (high - FBufPos));
    FBufPos = 0;
    FBufHigh = 0;
}

void TCfgWriter::Write(const void *Buf, std::size_t Count)
{
    const auto *src = static_cast<const std::uint8_t *>(Buf);
    while (Count > 0) {
        if (FBufPos == FBufSize)
            WriteBuffer();
        const std::size_t n = std::min(Count, FBufSize - FBufPos);
        std::memcpy(FBuffer.data() + FBufPos, src, n);
        FBufPos += n;
        FBufHigh = std::max(FBufHigh, FBufPos);
        src += n;
        Count -= n;
    }
}

void TCfgWriter::WriteValue(TValueType Value)
{
    const auto b = static_cast<std::uint8_t>(Value);
    Write(&b, 1);
}

void TCfgWriter::WriteSignature(std::string_view Signature) { Write(Signature.data(), Signature.size()); }

void TCfgWriter::WriteInteger(std::int32_t Value)
{
    if (Value >= -128 && Value <= 127) {
        WriteValue(TValueType::vaInt8);
        const auto b = toLittleEndian(static_cast<std::int8_t>(Value));
        Write(b.data(), b.size());
    } else if (Value >= -32768 && Value <= 32767) {
        WriteValue(TValueType::vaInt16);
        const auto b = toLittleEndian(static_cast<std::int16_t>(Value));
        Write(b.data(), b.size());
    } else {
        WriteValue(TValueType::vaInt32);
        const auto b = toLittleEndian(Value);
        Write(b.data(), b.size());
    }
}

void TCfgWriter::WriteBoolean(bool Value) { WriteValue(Value ? TValueType::vaTrue : TValueType::vaFalse); }

void TCfgWriter::WriteSingle(float Value)
{
    WriteValue(TValueType::vaSingle);
    const auto b = toLittleEndian(std::bit_cast<std::uint32_t>(Value));
    Write(b.data(), b.size());
}

void TCfgWriter::WriteFloat(double Value)
{
    WriteValue(TValueType::vaExtended);
    const auto b = config::doubleToExtended(Value);
    Write(b.data(), b.size());
}

void TCfgWriter::WriteCurrency(TCurrency Value)
{
    WriteValue(TValueType::vaCurrency);
    const auto b = toLittleEndian(Value);
    Write(b.data(), b.size());
}

void TCfgWriter::WriteDate(double Value)
{
    WriteValue(TValueType::vaDate);
    const auto b = toLittleEndian(std::bit_cast<std::uint64_t>(Value));
    Write(b.data(), b.size());
}

void TCfgWriter::WriteRawString(std::string_view bytes)
{
    if (bytes.size() < 256) {
        WriteValue(TValueType::vaString);
        const auto len = static_cast<std::uint8_t>(bytes.size());
        Write(&len, 1);
    } else {
        WriteValue(TValueType::vaLString);
        const auto b = toLittleEndian(static_cast<std::uint32_t>(bytes.size()));
        Write(b.data(), b.size());
    }
    Write(bytes.data(), bytes.size());
}

void TCfgWriter::WriteString(std::string_view Value) { WriteRawString(utf8ToCp1251(Value)); }

void TCfgWriter::WriteRawStr(std::string_view bytes)
{
    const auto len = static_cast<std::uint8_t>(std::min<std::size_t>(bytes.size(), 255));
    Write(&len, 1);
    Write(bytes.data(), len);
}

void TCfgWriter::WriteStr(std::string_view Value) { WriteRawStr(utf8ToCp1251(Value)); }

void TCfgWriter::WriteWideString(std::string_view Value)
{
    const std::string units = utf8ToUtf16le(Value);
    WriteValue(TValueType::vaWString);
    const auto b = toLittleEndian(static_cast<std::uint32_t>(units.size() / 2));
    Write(b.data(), b.size());
    Write(units.data(), units.size());
}

void TCfgWriter::WriteIdent(std::string_view Ident)
{
    if (equalsNoCase(Ident, "False"))
        WriteValue(TValueType::vaFalse);
    else if (equalsNoCase(Ident, "True"))
        WriteValue(TValueType::vaTrue);
    else if (equalsNoCase(Ident, "nil"))
        WriteValue(TValueType::vaNil);
    else {
        WriteValue(TValueType::vaIdent);
        WriteStr(Ident);
    }
}

void TCfgWriter::WriteChar(char Value) { WriteRawString(std::string_view(&Value, 1)); }

void TCfgWriter::WriteCollection(const TCfgCollection &Value)
{
    WriteValue(TValueType::vaCollection);
    for (std::size_t i = 0; i < Value.Count(); ++i) {
        WriteListBegin();
        WriteListEnd();
    }
    WriteListEnd();
}

void TCfgWriter::WriteBinary(const std::function<void(TStream &)> &WriteData)
{
    TMemoryStream data;
    WriteData(data);
    WriteValue(TValueType::vaBinary);
    const auto b = toLittleEndian(static_cast<std::uint32_t>(data.Size()));
    Write(b.data(), b.size());
    Write(data.Bytes().data(), data.Bytes().size());
}

std::uint64_t TCfgWriter::Position() const { return FStream.Position() + FBufPos; }

void TCfgWriter::SetPosition(std::uint64_t Value)
{
    const std::uint64_t start = FStream.Position();
    if (Value >= start && Value <= start + std::max(FBufPos, FBufHigh)) {
        FBufPos = static_cast<std::size_t>(Value - start);
    } else {
        WriteBuffer();
        FStream.Seek(Value);
    }
}

// ---------------------------------------------------------------- reader

TCfgReader::TCfgReader(TStream &Stream, std::size_t BufSize) : TCfgFiler(Stream, BufSize) {}

TCfgReader::~TCfgReader() { FStream.Seek(Position()); }

bool TCfgReader::Error(const std::string &Message)
{
    bool handled = false;
    if (OnError)
        OnError(*this, Message, handled);
    return handled;
}

void TCfgReader::readPastEnd()
{
    // The program's text, then where the value lies that the file cuts off.
    throw TCfgReadError(std::string(kReadPastEndText) + ": the value at byte " + std::to_string(valueStart_) +
                        " runs past the end of the file (" + std::to_string(FStream.Size()) +
                        " bytes); the file is truncated: use a complete copy of it");
}

void TCfgReader::ReadBuffer()
{
    FBufEnd = FStream.Read(FBuffer.data(), FBufSize);
    FBufPos = 0;
    if (FBufEnd == 0)
        readPastEnd();
}

void TCfgReader::Read(void *Buf, std::size_t Count)
{
    auto *dst = static_cast<std::uint8_t *>(Buf);
    while (Count > 0) {
        if (FBufPos == FBufEnd)
            ReadBuffer();
        const std::size_t n = std::min(Count, FBufEnd - FBufPos);
        std::memcpy(dst, FBuffer.data() + FBufPos, n);
        FBufPos += n;
        dst += n;
        Count -= n;
    }
}

std::uint8_t TCfgReader::readByte()
{
    std::uint8_t b = 0;
    Read(&b, 1);
    return b;
}

void TCfgReader::FlushBuffer()
{
    FStream.Seek(Position());
    FBufPos = 0;
    FBufEnd = 0;
}

std::uint64_t TCfgReader::Position() const { return FStream.Position() - (FBufEnd - FBufPos); }

void TCfgReader::SetPosition(std::uint64_t Value)
{
    FStream.Seek(Value);
    FBufPos = 0;
    FBufEnd = 0;
}

std::uint64_t TCfgReader::Remaining() const
{
    const std::uint64_t size = FStream.Size();
    const std::uint64_t pos = Position();
    return pos < size ? size - pos : 0;
}

// Lengths come from the file: check them against what is left before
// allocating or moving, so a hostile length is a read error, not a huge block.
void TCfgReader::skipBytes(std::uint64_t count)
{
    if (count > Remaining())
        readPastEnd();
    if (count <= FBufEnd - FBufPos)
        FBufPos += static_cast<std::size_t>(count);
    else
        SetPosition(Position() + count);
}

std::string TCfgReader::readBytes(std::uint64_t count)
{
    if (count > Remaining())
        readPastEnd();
    std::string out(static_cast<std::size_t>(count), '\0');
    Read(out.data(), out.size());
    return out;
}

TValueType TCfgReader::ReadValue()
{
    valueStart_ = Position();
    return static_cast<TValueType>(readByte());
}

TValueType TCfgReader::NextValue()
{
    const TValueType tag = ReadValue();
    stepBack();
    return tag;
}

bool TCfgReader::EndOfList() { return NextValue() == TValueType::vaNull; }

void TCfgReader::CheckValue(TValueType Value)
{
    if (ReadValue() == Value)
        return;
    stepBack();
    SkipValue();
}

void TCfgReader::ReadSignature(std::string_view Signature)
{
    std::string got(Signature.size(), '\0');
    Read(got.data(), got.size());
    if (got != Signature) {
        std::string shown;
        for (unsigned char c : got)
            shown += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
        throw TCfgReadError(std::string(kInvalidImageText) +
                            ": not a configuration of this kind (it starts with \"" + shown +
                            "\" instead of \"" + std::string(Signature) + "\"); name an " +
                            (Signature == "@DFM" ? ".lfm" : ".rbd") + " file");
    }
}

std::int64_t TCfgReader::readIntegerPayload(TValueType tag)
{
    std::array<std::uint8_t, 4> b{};
    switch (tag) {
    case TValueType::vaInt8:
        Read(b.data(), 1);
        return static_cast<std::int8_t>(b[0]);
    case TValueType::vaInt16:
        Read(b.data(), 2);
        return fromLittleEndian<std::int16_t>(b.data());
    default:
        Read(b.data(), 4);
        return fromLittleEndian<std::int32_t>(b.data());
    }
}

std::int32_t TCfgReader::ReadInteger()
{
    const TValueType tag = ReadValue();
    if (isIntegerTag(tag))
        return static_cast<std::int32_t>(readIntegerPayload(tag));
    stepBack();
    SkipValue();
    return 0;
}

bool TCfgReader::ReadBoolean() { return ReadValue() == TValueType::vaTrue; }

float TCfgReader::ReadSingle()
{
    if (ReadValue() == TValueType::vaSingle) {
        std::array<std::uint8_t, 4> b{};
        Read(b.data(), b.size());
        return std::bit_cast<float>(fromLittleEndian<std::uint32_t>(b.data()));
    }
    stepBack();
    return static_cast<float>(ReadInteger());
}

double TCfgReader::ReadFloat()
{
    if (ReadValue() == TValueType::vaExtended) {
        config::ExtendedBytes b{};
        Read(b.data(), b.size());
        return config::extendedToDouble(b);
    }
    stepBack();
    return static_cast<double>(ReadInteger());
}

TCurrency TCfgReader::ReadCurrency()
{
    if (ReadValue() == TValueType::vaCurrency) {
        std::array<std::uint8_t, 8> b{};
        Read(b.data(), b.size());
        return fromLittleEndian<std::int64_t>(b.data());
    }
    stepBack();
    return static_cast<TCurrency>(ReadInteger()) * 10000;
}

double TCfgReader::ReadDate()
{
    if (ReadValue() == TValueType::vaDate) {
        std::array<std::uint8_t, 8> b{};
        Read(b.data(), b.size());
        return std::bit_cast<double>(fromLittleEndian<std::uint64_t>(b.data()));
    }
    stepBack();
    return static_cast<double>(ReadInteger());
}

std::string TCfgReader::ReadString()
{
    const TValueType tag = ReadValue();
    if (tag == TValueType::vaString)
        return cp1251ToUtf8(readBytes(readByte()));
    if (tag == TValueType::vaLString) {
        std::array<std::uint8_t, 4> b{};
        Read(b.data(), b.size());
        return cp1251ToUtf8(readBytes(fromLittleEndian<std::uint32_t>(b.data())));
    }
    stepBack();
    SkipValue();
    return {};
}

std::string TCfgReader::ReadRawStr() { return readBytes(readByte()); }

std::string TCfgReader::ReadStr() { return cp1251ToUtf8(ReadRawStr()); }

std::string TCfgReader::ReadWideString()
{
    if (ReadValue() == TValueType::vaWString) {
        std::array<std::uint8_t, 4> b{};
        Read(b.data(), b.size());
        const std::uint64_t units = fromLittleEndian<std::uint32_t>(b.data());
        return utf16leToUtf8(readBytes(units * 2));
    }
    stepBack();
    SkipValue();
    return {};
}

std::string TCfgReader::ReadIdent()
{
    switch (ReadValue()) {
    case TValueType::vaIdent:
        return ReadStr();
    case TValueType::vaFalse:
        return "False";
    case TValueType::vaTrue:
        return "True";
    case TValueType::vaNil:
        return "nil";
    default:
        stepBack();
        SkipValue();
        return {};
    }
}

std::uint16_t TCfgReader::ReadWord()
{
    std::array<std::uint8_t, 2> b{};
    Read(b.data(), b.size());
    return fromLittleEndian<std::uint16_t>(b.data());
}

char TCfgReader::ReadChar()
{
    CheckValue(TValueType::vaString);
    const std::uint8_t len = readByte();
    if (len != 1) {
        stepBack();
        const std::string text = ReadRawStr();
        return text.empty() ? '\0' : text[0];
    }
    return static_cast<char>(readByte());
}

void TCfgReader::ReadCollection(TCfgCollection &Collection)
{
    if (NextValue() == TValueType::vaCollection)
        ReadValue();
    Collection.BeginUpdate();
    try {
        if (!EndOfList())
            Collection.Clear();
        while (!EndOfList()) {
            if (isIntegerTag(NextValue()))
                ReadInteger();
            Collection.Add();
            ReadListBegin();
            ReadListEnd();
        }
        ReadListEnd();
    } catch (...) {
        Collection.EndUpdate();
        throw;
    }
    Collection.EndUpdate();
}

// Nested lists are tracked with an explicit stack, so a hostile file of
// thousands of list starts cannot exhaust the call stack.
void TCfgReader::SkipValue()
{
    enum class Ctx : std::uint8_t { List, Collection };
    std::vector<Ctx> open;
    do {
        if (!open.empty() && open.back() == Ctx::Collection) {
            // An item: optional index, the item's list start, its values up to vaNull.
            if (EndOfList()) {
                ReadValue();
                open.pop_back();
                continue;
            }
            if (isIntegerTag(NextValue()))
                readIntegerPayload(ReadValue());
            readByte();
            open.push_back(Ctx::List);
            continue;
        }
        const TValueType tag = ReadValue();
        switch (tag) {
        case TValueType::vaNull:
            if (!open.empty())
                open.pop_back();
            break;
        case TValueType::vaList:
            open.push_back(Ctx::List);
            break;
        case TValueType::vaCollection:
            open.push_back(Ctx::Collection);
            break;
        case TValueType::vaInt8:
            skipBytes(1);
            break;
        case TValueType::vaInt16:
            skipBytes(2);
            break;
        case TValueType::vaInt32:
        case TValueType::vaSingle:
            skipBytes(4);
            break;
        case TValueType::vaExtended:
            skipBytes(10);
            break;
        case TValueType::vaCurrency:
        case TValueType::vaDate:
            skipBytes(8);
            break;
        case TValueType::vaString:
        case TValueType::vaIdent:
            skipBytes(readByte());
            break;
        case TValueType::vaBinary:
        case TValueType::vaLString: {
            std::array<std::uint8_t, 4> b{};
            Read(b.data(), b.size());
            skipBytes(fromLittleEndian<std::uint32_t>(b.data()));
            break;
        }
        case TValueType::vaWString: {
            std::array<std::uint8_t, 4> b{};
            Read(b.data(), b.size());
            skipBytes(std::uint64_t{fromLittleEndian<std::uint32_t>(b.data())} * 2);
            break;
        }
        case TValueType::vaSet:
            while (const std::uint8_t len = readByte())
                skipBytes(len);
            break;
        default: // vaFalse, vaTrue, vaNil and unknown tags: the tag alone
            break;
        }
    } while (!open.empty());
}

// Copies one value. Containers (lists and collections) keep their tag and
// are copied value by value up to their closing vaNull; scalar payloads are
// copied byte for byte, so extended floats and long strings survive unchanged.
void TCfgReader::CopyValue(TCfgWriter &Writer)
{
    int depth = 0;
    do {
        const TValueType tag = ReadValue();
        switch (tag) {
        case TValueType::vaNull:
            Writer.WriteValue(tag);
            if (depth > 0)
                --depth;
            break;
        case TValueType::vaList:
        case TValueType::vaCollection:
            Writer.WriteValue(tag);
            ++depth;
            break;
        case TValueType::vaInt8:
        case TValueType::vaInt16:
        case TValueType::vaInt32:
            Writer.WriteInteger(static_cast<std::int32_t>(readIntegerPayload(tag)));
            break;
        case TValueType::vaString:
            Writer.WriteValue(tag);
            Writer.WriteRawStr(ReadRawStr());
            break;
        case TValueType::vaIdent: {
            const std::string ident = ReadRawStr();
            Writer.WriteValue(tag);
            Writer.WriteRawStr(ident);
            break;
        }
        case TValueType::vaExtended:
        case TValueType::vaSingle:
        case TValueType::vaCurrency:
        case TValueType::vaDate: {
            const std::size_t n = tag == TValueType::vaExtended ? 10 : tag == TValueType::vaSingle ? 4 : 8;
            const std::string payload = readBytes(n);
            Writer.WriteValue(tag);
            Writer.Write(payload.data(), payload.size());
            break;
        }
        case TValueType::vaBinary:
        case TValueType::vaLString:
        case TValueType::vaWString: {
            std::array<std::uint8_t, 4> b{};
            Read(b.data(), b.size());
            std::uint64_t left = fromLittleEndian<std::uint32_t>(b.data());
            if (tag == TValueType::vaWString)
                left *= 2;
            if (left > Remaining())
                readPastEnd();
            Writer.WriteValue(tag);
            Writer.Write(b.data(), b.size());
            std::array<std::uint8_t, 16384> block{};
            while (left > 0) {
                const auto n = static_cast<std::size_t>(std::min<std::uint64_t>(left, block.size()));
                Read(block.data(), n);
                Writer.Write(block.data(), n);
                left -= n;
            }
            break;
        }
        case TValueType::vaSet:
            Writer.WriteValue(tag);
            for (;;) {
                const std::string name = ReadRawStr();
                Writer.WriteRawStr(name);
                if (name.empty())
                    break;
            }
            break;
        default:
            Writer.WriteValue(tag);
            break;
        }
    } while (depth > 0);
}

} // namespace vibrolan
