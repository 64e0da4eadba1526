// The status-code table and its lookup.
#include "sigmath/sigmath.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

TEST(SigmathFrame, KnownCodesGiveTheirTextsLetterForLetter)
{
    const struct {
        int32_t code;
        const char *text;
    } cases[] = {
        {0, "No error"},
        {-20001, "Insufficient memory"},
        {-20003, "Number of samples must be greater than zero"},
        {-20012, "Number of cycles must be greater than zero and less than or equal to the number of samples"},
        {-20016, "dt or dx must be greater than zero"},
        {-20041, "Input matrix is singular"},
        {-20056, "Contigency table has a negative number"},
        {-20066, "The information in IIR filter structure is not correct"},
        {-20103, "Order must be greater than or equal to zero"},
    };
    for (const auto &c : cases)
        EXPECT_STREQ(GetAnalysisErrorString(c.code), c.text) << c.code;
}

TEST(SigmathFrame, CodesOutsideTheTableAreUnknown)
{
    for (int32_t code : {1, -1, -20000, -20005, -20010, -20046, -20104, -30000, INT32_MIN, INT32_MAX})
        EXPECT_STREQ(GetAnalysisErrorString(code), "Unknown error number") << code;
}

TEST(SigmathFrame, TableHas53DistinctEntries)
{
    // Walk every code of the library's range: 52 negative codes have their own text.
    std::set<std::string> texts;
    int known = 0;
    for (int32_t code = -20103; code <= -20001; ++code) {
        const std::string t = GetAnalysisErrorString(code);
        if (t != "Unknown error number") {
            ++known;
            texts.insert(t);
        }
    }
    EXPECT_EQ(known + 1, 53);
    EXPECT_EQ(texts.size(), 52u);
}

TEST(SigmathFrame, FreeAnalysisMemAcceptsNull)
{
    FreeAnalysisMem(nullptr);
    EXPECT_EQ(SigmathRuntimeReady(), 1);
}
