#include "output/program_settings.hpp"

namespace vibrolan {

ProgramSettings::ProgramSettings(const std::filesystem::path &programDir)
    : iniFileName_(programDir / fileName), iniF_(iniFileName_)
{
}

std::string ProgramSettings::Style() const { return iniF_.ReadString("styles", "style", defaultStyle); }

} // namespace vibrolan
