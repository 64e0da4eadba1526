// Opens a ZAMI data set built from arbitrary bytes: the first two bytes give
// the length of the key file, the rest becomes the value and argument files
// of the key file's sections. Every channel is read in both precisions. The
// key-file parser must also reproduce its own output.
#include "base/code_pages.hpp"
#include "base/errors.hpp"
#include "fuzz_dir.hpp"
#include "output/data_file.hpp"
#include "output/ini_document.hpp"
#include "output/text_utils.hpp"

#include <cstdlib>
#include <fstream>
#include <unistd.h>
#include <vector>

using namespace vibrolan;

namespace {

void put(const std::filesystem::path &p, std::string_view bytes)
{
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t keyLength = std::min<std::size_t>(size - 2, data[0] | data[1] << 8);
    const std::string_view key(reinterpret_cast<const char *>(data) + 2, keyLength);
    const std::string_view rest(reinterpret_cast<const char *>(data) + 2 + keyLength, size - 2 - keyLength);

    const auto doc = datafiles::IniDocument::parse(cp1251ToUtf8(key));
    const std::string once = doc.serialize();
    if (datafiles::IniDocument::parse(once).serialize() != once)
        std::abort();

    const auto &dir = fuzz::scratchDir("zami");
    // Only the files of the previous run are removed: cheaper than listing the folder.
    static std::vector<std::filesystem::path> lastFiles;
    for (const auto &p : lastFiles)
        ::unlink(p.c_str());
    lastFiles.clear();
    put(dir / "set.zami", key);
    int made = 0;
    for (const auto &name : doc.sectionNames()) {
        if (!datafiles::isPlainFileName(name) || name.size() > 200 || ++made > 4)
            continue;
        lastFiles.push_back(dir / (name + ".dat"));
        put(lastFiles.back(), rest);
        if (made % 2 == 0) {
            lastFiles.push_back(dir / (name + ".x"));
            put(lastFiles.back(), rest.substr(rest.size() / 3));
        }
    }

    DataFileEnv env;
    env.numberFormat.decimalSeparator = (size & 1) ? ',' : '.';
    TDataF df(env);
    try {
        df.Create(dir / "set.zami", 2);
    } catch (const Error &) {
        return 0;
    }
    for (int ch = 0; ch < df.Nchan; ++ch) {
        try {
            std::vector<double> y, x;
            std::vector<float> ys, xs;
            const auto n = df.Get2ForeignDblBuff(ch, y, x);
            df.Get2ForeignSnglBuff(ch, ys, xs);
            if (static_cast<std::size_t>(n) != y.size() || ys.size() != y.size() ||
                (!x.empty() && x.size() != y.size()) || xs.size() != x.size())
                std::abort();
        } catch (const Error &) {
        }
    }
    return 0;
}
