#include "recording/tindex.hpp"

#include <gtest/gtest.h>

using namespace vibrolan;

TEST(TickArithmetic, DiffTellsWrapFromStepBack)
{
    struct Case {
        std::uint32_t a, b;
        std::int64_t want;
    };
    for (const Case &c : {Case{5, 4294967290u, 11}, Case{100, 200, -100}, Case{0, 16777216, -16777216},
                          Case{0, 16777217, 4278190079}, Case{4294967295u, 0, 4294967295}, Case{7, 7, 0}})
        EXPECT_EQ(Diff(c.a, c.b), c.want) << c.a << " - " << c.b;
}

TEST(TickArithmetic, CardDiffFlagsBackwardSteps)
{
    struct Case {
        std::uint32_t a, b, want;
        bool backward;
    };
    for (const Case &c :
         {Case{100, 200, 0, true}, Case{5, 4294967290u, 11, false}, Case{0, 268435457, 4026531839u, false},
          Case{0, 268435456, 0, true}, Case{200, 100, 100, false}}) {
        bool backward = !c.backward;
        EXPECT_EQ(CardDiff(c.a, c.b, backward), c.want) << c.a << " - " << c.b;
        EXPECT_EQ(backward, c.backward) << c.a << " - " << c.b;
    }
}

TEST(PulseRecord, ChannelBitsAndOperators)
{
    TIndex r{0xC1, 9, 1000};
    r.WCh(5);
    EXPECT_EQ(r.Ch, 0xC5);
    EXPECT_EQ(r.RCh(), 5);
    EXPECT_TRUE(r.B1RCh());
    r.B1WCh(false);
    EXPECT_EQ(r.Ch, 0x45);
    r.B1WCh(true);
    EXPECT_EQ(r.Ch, 0xC5);
    r.WCh(0xFF); // only the low six bits of the number are taken
    EXPECT_EQ(r.Ch, 0xFF);

    // Equality compares the channel number, not the flag bits.
    EXPECT_TRUE((TIndex{0x45, 1, 77} == TIndex{0x05, 1, 77}));
    EXPECT_FALSE((TIndex{0x05, 2, 77} == TIndex{0x05, 1, 77}));

    const TIndex late{1, 0, 5}, early{1, 0, 4294967290u};
    EXPECT_EQ(late - early, 11);
    EXPECT_EQ(late - 4294967290u, 11);
    EXPECT_EQ(100u - (TIndex{0, 0, 200}), -100);
}
