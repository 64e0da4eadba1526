// The configuration stream engine: a buffered writer and reader of tagged
// values (tag byte + payload, little-endian). Configurations write and read
// their fields in a fixed order; the stream carries no field names.
#pragma once

#include "base/errors.hpp"
#include "config/cfg_stream.hpp"

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vibrolan {

enum class TValueType : std::uint8_t {
    vaNull = 0,
    vaList = 1,
    vaInt8 = 2,
    vaInt16 = 3,
    vaInt32 = 4,
    vaExtended = 5,
    vaString = 6,
    vaIdent = 7,
    vaFalse = 8,
    vaTrue = 9,
    vaBinary = 10,
    vaSet = 11,
    vaLString = 12,
    vaNil = 13,
    vaCollection = 14,
    vaSingle = 15,
    vaCurrency = 16,
    vaDate = 17,
    vaWString = 18,
};

// The reader's two failures; their texts are the program's own.
inline constexpr std::string_view kReadPastEndText = "ошчтфайла";
inline constexpr std::string_view kInvalidImageText = "Invalid image";

// A stream that cannot be read as a configuration. LoadFromFile turns it into
// a FormatError naming the file.
class TCfgReadError : public Error {
public:
    using Error::Error;
};

// 64-bit integer holding a currency amount times 10000.
using TCurrency = std::int64_t;

// A collection whose items carry no properties: only their number travels.
class TCfgCollection {
public:
    virtual ~TCfgCollection() = default;
    virtual void BeginUpdate() {}
    virtual void EndUpdate() {}
    virtual void Clear() = 0;
    virtual void Add() = 0;
    virtual std::size_t Count() const = 0;
};

class TCountedCollection final : public TCfgCollection {
public:
    void Clear() override { count_ = 0; }
    void Add() override { ++count_; }
    std::size_t Count() const override { return count_; }
    void SetCount(std::size_t n) { count_ = n; }

private:
    std::size_t count_ = 0;
};

class TCfgFiler {
public:
    TCfgFiler(TStream &Stream, std::size_t BufSize);
    virtual ~TCfgFiler() = default;
    TCfgFiler(const TCfgFiler &) = delete;
    TCfgFiler &operator=(const TCfgFiler &) = delete;

    virtual void FlushBuffer() = 0;

protected:
    TStream &FStream;
    std::vector<std::uint8_t> FBuffer;
    std::size_t FBufSize;
    std::size_t FBufPos = 0;
    std::size_t FBufEnd = 0;
};

class TCfgWriter final : public TCfgFiler {
public:
    TCfgWriter(TStream &Stream, std::size_t BufSize);
    // Writes out what is still buffered; call FlushBuffer first to see write errors.
    ~TCfgWriter() override;

    void Write(const void *Buf, std::size_t Count);
    void WriteBuffer();
    void FlushBuffer() override { WriteBuffer(); }

    void WriteValue(TValueType Value);
    void WriteSignature(std::string_view Signature);
    void WriteInteger(std::int32_t Value);
    void WriteBoolean(bool Value);
    void WriteSingle(float Value);
    void WriteFloat(double Value);
    void WriteCurrency(TCurrency Value);
    void WriteDate(double Value);
    // Text is UTF-8 here and CP1251 in the stream.
    void WriteString(std::string_view Value);
    void WriteStr(std::string_view Value);
    void WriteWideString(std::string_view Value);
    void WriteIdent(std::string_view Ident);
    void WriteChar(char Value); // one CP1251 byte
    void WriteListBegin() { WriteValue(TValueType::vaList); }
    void WriteListEnd() { WriteValue(TValueType::vaNull); }
    void WriteCollection(const TCfgCollection &Value);
    void WriteBinary(const std::function<void(TStream &)> &WriteData);

    // Raw forms used when copying values byte for byte.
    void WriteRawStr(std::string_view bytes);
    void WriteRawString(std::string_view bytes);

    std::uint64_t Position() const;
    void SetPosition(std::uint64_t Value);

private:
    std::size_t FBufHigh = 0; // bytes buffered, even after Position moved back
};

class TCfgReader final : public TCfgFiler {
public:
    using TCfgReaderError =
        std::function<void(TCfgReader &Reader, const std::string &Message, bool &Handled)>;

    TCfgReader(TStream &Stream, std::size_t BufSize);
    // Leaves the stream at the logical read position.
    ~TCfgReader() override;

    TCfgReaderError OnError;
    // Asks OnError; False when nobody handles the message.
    bool Error(const std::string &Message);

    void Read(void *Buf, std::size_t Count);
    void ReadBuffer();
    void FlushBuffer() override;

    TValueType ReadValue();
    TValueType NextValue();
    bool EndOfList();
    void CheckValue(TValueType Value);
    void ReadListBegin() { CheckValue(TValueType::vaList); }
    void ReadListEnd() { CheckValue(TValueType::vaNull); }
    void ReadSignature(std::string_view Signature);

    // A value of an unexpected kind is skipped whole and reads as 0 or empty,
    // so the values after it stay in step.
    std::int32_t ReadInteger();
    bool ReadBoolean();
    float ReadSingle();
    double ReadFloat();
    TCurrency ReadCurrency();
    double ReadDate();
    std::string ReadString();     // UTF-8
    std::string ReadStr();        // UTF-8
    std::string ReadWideString(); // UTF-8
    std::string ReadIdent();
    std::uint16_t ReadWord();
    char ReadChar(); // one CP1251 byte
    void ReadCollection(TCfgCollection &Collection);

    void SkipValue();
    void CopyValue(TCfgWriter &Writer);

    std::uint64_t Position() const;
    void SetPosition(std::uint64_t Value);

    std::string ReadRawStr();
    // Bytes left between the read position and the end of the stream.
    std::uint64_t Remaining() const;

private:
    std::uint8_t readByte();
    void stepBack() { --FBufPos; } // only right after a byte was read
    void skipBytes(std::uint64_t count);
    std::string readBytes(std::uint64_t count);
    std::int64_t readIntegerPayload(TValueType tag);
    [[noreturn]] void readPastEnd();
    std::uint64_t valueStart_ = 0; // where the value being read begins, for messages
};

} // namespace vibrolan
