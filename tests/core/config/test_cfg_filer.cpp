#include "config/cfg_filer.hpp"

#include "stream_bytes.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vibrolan;
using vibrolan::test::StreamBytes;

namespace {

std::vector<std::uint8_t> written(const std::function<void(TCfgWriter &)> &fn, std::size_t bufSize = 4096)
{
    TMemoryStream stream;
    {
        TCfgWriter w(stream, bufSize);
        fn(w);
    }
    return stream.TakeBytes();
}

// The program's text of the read error; the details after it (where, what
// to do) are checked apart.
std::string readError(const std::vector<std::uint8_t> &bytes, const std::function<void(TCfgReader &)> &fn)
{
    TMemoryStream stream(bytes);
    TCfgReader r(stream, bytes.size());
    try {
        fn(r);
    } catch (const TCfgReadError &e) {
        const std::string text = e.what();
        return text.substr(0, text.find(": "));
    }
    return "no error";
}

std::string fullReadError(const std::vector<std::uint8_t> &bytes, const std::function<void(TCfgReader &)> &fn)
{
    TMemoryStream stream(bytes);
    TCfgReader r(stream, bytes.size());
    try {
        fn(r);
    } catch (const TCfgReadError &e) {
        return e.what();
    }
    return "no error";
}

} // namespace

TEST(CfgWriter, IntegerTakesTheNarrowestTag)
{
    struct Case {
        std::int32_t value;
        std::vector<std::uint8_t> bytes;
    };
    const Case cases[] = {
        {0, {2, 0x00}},
        {-100, {2, 0x9C}},
        {127, {2, 0x7F}},
        {-128, {2, 0x80}},
        {128, {3, 0x80, 0x00}},
        {200, {3, 0xC8, 0x00}},
        {-129, {3, 0x7F, 0xFF}},
        {32767, {3, 0xFF, 0x7F}},
        {-32768, {3, 0x00, 0x80}},
        {32768, {4, 0x00, 0x80, 0x00, 0x00}},
        {40000, {4, 0x40, 0x9C, 0x00, 0x00}},
        {-32769, {4, 0xFF, 0x7F, 0xFF, 0xFF}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.value);
        const auto bytes = written([&](TCfgWriter &w) { w.WriteInteger(c.value); });
        EXPECT_EQ(bytes, c.bytes);
        TMemoryStream in(bytes);
        TCfgReader r(in, bytes.size());
        EXPECT_EQ(r.ReadInteger(), c.value);
    }
}

TEST(CfgWriter, TextValuesUseTheCodePagesAndLengthForms)
{
    const std::string longText(300, 'x');
    const auto bytes = written([&](TCfgWriter &w) {
        w.WriteString("Ступень");
        w.WriteString(longText);
        w.WriteWideString("Я1");
        w.WriteIdent("true");
        w.WriteIdent("NIL");
        w.WriteIdent("Alpha");
        w.WriteChar('Z');
        w.WriteStr("ab");
    });
    StreamBytes e;
    e.str("\xD1\xF2\xF3\xEF\xE5\xED\xFC"); // CP1251
    e.raw({12}).le(300, 4).text(longText);
    e.raw({18}).le(2, 4).raw({0x2F, 0x04, 0x31, 0x00});
    e.raw({9, 13, 7, 5}).text("Alpha");
    e.raw({6, 1, 'Z', 2, 'a', 'b'});
    EXPECT_EQ(bytes, e.bytes());

    TMemoryStream in(bytes);
    TCfgReader r(in, bytes.size());
    EXPECT_EQ(r.ReadString(), "Ступень");
    EXPECT_EQ(r.ReadString(), longText);
    EXPECT_EQ(r.ReadWideString(), "Я1");
    EXPECT_EQ(r.ReadIdent(), "True");
    EXPECT_EQ(r.ReadIdent(), "nil");
    EXPECT_EQ(r.ReadIdent(), "Alpha");
    EXPECT_EQ(r.ReadChar(), 'Z');
    EXPECT_EQ(r.ReadStr(), "ab");
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(CfgWriter, SmallBufferAndRewoundPositionLoseNothing)
{
    const auto bytes = written(
        [](TCfgWriter &w) {
            for (int i = 0; i < 100; ++i)
                w.WriteInteger(i);
            const auto end = w.Position();
            w.SetPosition(end - 2); // rewrite the last integer inside the buffer
            w.WriteInteger(-1);
            EXPECT_EQ(w.Position(), end);
        },
        7);
    ASSERT_EQ(bytes.size(), 200u);
    EXPECT_EQ(bytes[2 * 98 + 1], 98);
    EXPECT_EQ(bytes[199], 0xFF);
}

TEST(CfgReader, NumbersAcceptIntegerTagsAndUnexpectedValuesAreSkipped)
{
    StreamBytes s;
    s.int8(7);                       // ReadSingle
    s.int16(-300);                   // ReadFloat
    s.int8(3);                       // ReadCurrency
    s.int8(5);                       // ReadDate
    s.str("abc").int8(42);           // ReadInteger skips the string: 0; then 42
    s.single(1.5F).str("next");      // ReadString skips the single
    s.int8(1).raw({8});              // ReadWideString skips the integer; then a boolean
    s.raw({12}).le(2, 4).text("ok"); // long string
    const auto &bytes = s.bytes();
    TMemoryStream in(bytes);
    TCfgReader r(in, bytes.size());
    EXPECT_EQ(r.ReadSingle(), 7.0F);
    EXPECT_EQ(r.ReadFloat(), -300.0);
    EXPECT_EQ(r.ReadCurrency(), 30000);
    EXPECT_EQ(r.ReadDate(), 5.0);
    EXPECT_EQ(r.ReadInteger(), 0);
    EXPECT_EQ(r.ReadInteger(), 42);
    EXPECT_EQ(r.ReadString(), "");
    EXPECT_EQ(r.ReadString(), "next");
    EXPECT_EQ(r.ReadWideString(), "");
    EXPECT_FALSE(r.ReadBoolean());
    EXPECT_EQ(r.ReadString(), "ok");
}

TEST(CfgReader, SkipValueStepsOverEveryKindOfValue)
{
    StreamBytes s;
    s.raw({1}).int8(1).str("a").raw({1, 0, 0});            // nested lists
    s.int32(5).extended(0x8000000000000000ULL, 0x3FFF);    // integer, extended
    s.raw({7, 2, 'i', 'd'});                               // identifier
    s.raw({10}).le(600, 4).text(std::string(600, '\x01')); // binary, longer than a skip block
    s.raw({14, 1, 0, 2, 9, 1, 0, 0});                      // collection of two items, one indexed
    s.raw({15}).le(0, 4).raw({16}).le(0, 8).raw({17}).le(0, 8);
    s.raw({12}).le(3, 4).text("xyz").raw({18}).le(2, 4).le(0, 4);
    s.raw({11, 1, 'a', 0});  // set
    s.raw({8, 9, 13, 0x63}); // bare tags and an unknown one
    s.int8(99);              // sentinel
    const auto &bytes = s.bytes();
    TMemoryStream in(bytes);
    TCfgReader r(in, bytes.size());
    for (int i = 0; i < 16; ++i)
        r.SkipValue();
    EXPECT_EQ(r.ReadInteger(), 99);
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(CfgReader, CopyValueReproducesTheValueExactly)
{
    StreamBytes s;
    s.raw({1}).int16(300).extended(0xC90FDAA22168C235ULL, 0x4000); // pi in full extended precision
    s.str("ab").raw({12}).le(2, 4).text("cd").raw({7, 1, 'q'});
    s.raw({14, 1, 0, 0}).raw({10}).le(3, 4).raw({1, 2, 3});
    s.raw({11, 1, 'a', 0}).single(2.5F).raw({0});
    const auto &bytes = s.bytes();
    TMemoryStream in(bytes);
    TCfgReader r(in, bytes.size());
    const auto copy = written([&](TCfgWriter &w) { r.CopyValue(w); });
    EXPECT_EQ(copy, bytes);
}

TEST(CfgReader, CollectionsRoundTrip)
{
    TCountedCollection three;
    three.SetCount(3);
    const auto bytes = written([&](TCfgWriter &w) { w.WriteCollection(three); });
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{14, 1, 0, 1, 0, 1, 0, 0}));
    TCountedCollection got;
    got.SetCount(9);
    TMemoryStream in(bytes);
    TCfgReader r(in, bytes.size());
    r.ReadCollection(got);
    EXPECT_EQ(got.Count(), 3u);
    EXPECT_EQ(r.Remaining(), 0u);
}

TEST(CfgReader, BinaryRoundTripAndPositions)
{
    const auto bytes = written([](TCfgWriter &w) {
        w.WriteBinary([](TStream &s) { s.Write("\x01\x02\x03", 3); });
        w.WriteInteger(1);
    });
    EXPECT_EQ(bytes, (std::vector<std::uint8_t>{10, 3, 0, 0, 0, 1, 2, 3, 2, 1}));
    TMemoryStream in(bytes);
    {
        TCfgReader r(in, 4); // smaller than the stream: refills as it goes
        r.SkipValue();
        EXPECT_EQ(r.Position(), 8u);
    }
    EXPECT_EQ(in.Position(), 8u) << "the reader leaves the stream at its logical position";
}

TEST(CfgReader, ReadErrorsAndHostileLengths)
{
    EXPECT_EQ(readError({}, [](TCfgReader &r) { r.ReadInteger(); }), "ошчтфайла");
    EXPECT_EQ(readError({'@', 'D', 'F'}, [](TCfgReader &r) { r.ReadSignature("@DFM"); }), "ошчтфайла");
    EXPECT_EQ(readError({'@', 'd', 'F', 'M'}, [](TCfgReader &r) { r.ReadSignature("@DFM"); }),
              "Invalid image");
    EXPECT_EQ(readError({3, 1}, [](TCfgReader &r) { r.ReadInteger(); }), "ошчтфайла");
    // Where the value lies and what is wrong.
    EXPECT_EQ(
        fullReadError({'@', 'D', 'F', 'M', 3, 1},
                      [](TCfgReader &r) {
                          r.ReadSignature("@DFM");
                          r.ReadInteger();
                      }),
        "ошчтфайла: the value at byte 4 runs past the end of the file (6 bytes); the file is truncated: "
        "use a complete copy of it");
    EXPECT_EQ(
        fullReadError({'M', 'Z', 0, 1}, [](TCfgReader &r) { r.ReadSignature("@DFM"); }),
        "Invalid image: not a configuration of this kind (it starts with \"MZ??\" instead of \"@DFM\"); "
        "name an .lfm file");
    // Lengths far past the end are a read error before anything is allocated.
    EXPECT_EQ(readError({12, 0xF0, 0xFF, 0xFF, 0xFF, 'a'}, [](TCfgReader &r) { r.ReadString(); }),
              "ошчтфайла");
    EXPECT_EQ(readError({18, 0xFF, 0xFF, 0xFF, 0x7F}, [](TCfgReader &r) { r.ReadWideString(); }),
              "ошчтфайла");
    EXPECT_EQ(readError({10, 0xFF, 0xFF, 0xFF, 0xFF}, [](TCfgReader &r) { r.SkipValue(); }), "ошчтфайла");
    // A million nested list starts are skipped without deep recursion.
    std::vector<std::uint8_t> nested(1000000, 1);
    EXPECT_EQ(readError(nested, [](TCfgReader &r) { r.SkipValue(); }), "ошчтфайла");
    nested.insert(nested.end(), 1000000, 0);
    EXPECT_EQ(readError(nested, [](TCfgReader &r) { r.SkipValue(); }), "no error");
}

TEST(CfgReader, ErrorAsksTheHandler)
{
    TMemoryStream in;
    TCfgReader r(in, 16);
    EXPECT_FALSE(r.Error("x"));
    std::string seen;
    r.OnError = [&](TCfgReader &, const std::string &msg, bool &handled) {
        seen = msg;
        handled = true;
    };
    EXPECT_TRUE(r.Error("bad"));
    EXPECT_EQ(seen, "bad");
}
