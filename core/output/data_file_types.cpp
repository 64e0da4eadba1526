#include "output/data_file_types.hpp"

#include "output/text_utils.hpp"

namespace vibrolan {

std::uint8_t sampleFormatCode(std::string_view name)
{
    using datafiles::equalsIgnoreCase;
    if (equalsIgnoreCase(name, "uniform"))
        return sfUniform;
    if (equalsIgnoreCase(name, "byte"))
        return sfByte;
    if (equalsIgnoreCase(name, "int") || equalsIgnoreCase(name, "I2"))
        return sfInt;
    if (equalsIgnoreCase(name, "single") || equalsIgnoreCase(name, "R4"))
        return sfSingle;
    if (equalsIgnoreCase(name, "double") || equalsIgnoreCase(name, "R8"))
        return sfDouble;
    return sfShared;
}

std::string sampleFormatName(std::uint8_t code)
{
    switch (code) {
    case sfUniform:
        return "uniform";
    case sfByte:
        return "byte";
    case sfInt:
        return "int";
    case sfSingle:
        return "single";
    case sfDouble:
        return "double";
    default:
        return {};
    }
}

} // namespace vibrolan
