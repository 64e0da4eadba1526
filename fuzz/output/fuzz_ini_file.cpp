// The program's INI file (Vibrolan.ini) read through TIniF and the program
// settings: every section and key the input names, as strings, numbers in
// both separators, booleans and arrays.
#include "base/errors.hpp"
#include "base/number_format.hpp"
#include "output/fuzz_dir.hpp"
#include "output/ini_file.hpp"
#include "output/program_settings.hpp"

#include <cstdint>
#include <vector>

using namespace vibrolan;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const std::filesystem::path &dir = fuzz::scratchDir("ini_file");
    const std::filesystem::path file = fuzz::writeInput(dir / "Vibrolan.ini", data, size);
    try {
        (void)ProgramSettings(dir).Style();
        for (const char separator : {'.', ','}) {
            NumberFormat format;
            format.decimalSeparator = separator;
            const TIniF ini(file, format);
            const datafiles::IniDocument doc = datafiles::loadIniFile(file);
            for (const auto &section : doc.sectionNames()) {
                (void)ini.SectionExists(section);
                for (const char *key : {"Style", "Freq", "k0", "Count", "Arr", "Flag", "0", "1"}) {
                    (void)ini.ReadString(section, key, "");
                    (void)ini.ReadInteger(section, key, -1);
                    (void)ini.ReadFloat(section, key, -1.5);
                    (void)ini.ReadBool(section, key, false);
                    std::vector<float> f(4);
                    ini.ReadFloatArr(section, key, 0.5f, f, 4);
                    std::vector<std::int32_t> n(4);
                    ini.ReadIntArr(section, key, 7, n, 4);
                }
            }
        }
    } catch (const vibrolan::Error &) {
    }
    return 0;
}
