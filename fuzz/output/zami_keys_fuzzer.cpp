// The key-file text of a ZAMI data set in memory, without files: parsing,
// rewriting and the number texts of its keys. Fast enough for long runs.
#include "base/code_pages.hpp"
#include "output/data_file_types.hpp"
#include "output/ini_document.hpp"
#include "output/text_utils.hpp"

#include <cmath>
#include <cstdlib>

using namespace vibrolan;
using namespace vibrolan::datafiles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::string_view raw(reinterpret_cast<const char *>(data), size);
    const auto doc = IniDocument::parse(cp1251ToUtf8(raw));
    const std::string once = doc.serialize();
    if (IniDocument::parse(once).serialize() != once)
        std::abort();
    for (const auto &section : doc.sectionNames()) {
        for (const char *key : {"Freq", "Step", "k0", "k1", "ChanNo", "ChanID", "YFormat", "XFormat"}) {
            const std::string value = doc.readString(section, key, "");
            for (char sep : {'.', ','}) {
                if (auto v = parseDecimal(value, sep); v && !std::isfinite(*v))
                    std::abort();
                if (auto v = parseDecimal(formatGeneral(static_cast<double>(value.size()) / 7, sep), sep);
                    !v || std::fabs(*v - static_cast<double>(value.size()) / 7) > 1e-12)
                    std::abort();
            }
            if (auto v = parseInteger(value); v && (*v < INT32_MIN || *v > INT32_MAX))
                std::abort();
            (void)sampleFormatCode(value);
        }
    }
    return 0;
}
