// Opens arbitrary bytes as a PRAX file, reads every channel and, when the file
// opened, checks that appending and deleting a channel keep the others intact.
#include "base/errors.hpp"
#include "fuzz_dir.hpp"
#include "output/data_file.hpp"

#include <cstdlib>
#include <fstream>

using namespace vibrolan;

namespace {

std::vector<std::vector<double>> readAll(TDataF &df)
{
    std::vector<std::vector<double>> channels;
    for (int ch = 0; ch < df.Nchan; ++ch) {
        std::vector<double> y, x;
        std::vector<float> ys, xs;
        try {
            df.Get2ForeignDblBuff(ch, y, x);
            df.Get2ForeignSnglBuff(ch, ys, xs);
            if (ys.size() != y.size() || !x.empty())
                std::abort();
        } catch (const Error &) {
            y = {-1.0, 1e308}; // marks an unreadable channel
        }
        channels.push_back(std::move(y));
    }
    return channels;
}

bool sameSamples(const std::vector<double> &a, const std::vector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (a[i] != b[i] && !(a[i] != a[i] && b[i] != b[i]))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const auto file = fuzz::scratchDir("prax") / "in.prx"; // replaced in place each run
    {
        std::ofstream out(file, std::ios::binary);
        out.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    }
    TDataF df;
    try {
        df.Create(file, 2);
    } catch (const Error &) {
        return 0;
    }
    const auto before = readAll(df);
    if (size == 0 || (data[0] & 15) != 0)
        return 0; // writes are slow: exercise them for one input in sixteen

    const std::vector<std::int16_t> added{1, -2, 3};
    try {
        df.AddBuffer(3, "int", "uniform", std::as_bytes(std::span(added)), {}, "fz", "", "", "", 1, 0, 0, 1,
                     nullptr);
    } catch (const Error &) {
        return 0; // the existing blocks do not fit the file
    }
    TDataF again;
    again.Create(file, 2);
    auto after = readAll(again);
    if (after.size() != before.size() + 1 || !sameSamples(after.back(), {1, -2, 3}))
        std::abort();
    for (std::size_t i = 0; i < before.size(); ++i)
        if (!sameSamples(before[i], after[i]))
            std::abort();
    if (again.Nchan > 1) {
        again.DeletePar(0);
        TDataF third;
        third.Create(file, 2);
        auto left = readAll(third);
        if (left.size() != after.size() - 1)
            std::abort();
        for (std::size_t i = 0; i < left.size(); ++i)
            if (!sameSamples(left[i], after[i + 1]))
                std::abort();
    }
    return 0;
}
