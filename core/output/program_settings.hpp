// The program's own settings file "Vibrolan.ini" beside the program: the
// visual style in section "styles", key "style". The program only reads it.
#pragma once

#include "output/ini_file.hpp"

#include <filesystem>
#include <string>

namespace vibrolan {

class ProgramSettings {
public:
    static constexpr const char *fileName = "Vibrolan.ini";
    static constexpr const char *defaultStyle = "windows";

    // programDir: the folder of the program file.
    explicit ProgramSettings(const std::filesystem::path &programDir);

    const std::filesystem::path &IniFileName() const { return iniFileName_; }
    // The style name; "windows" when the file or the key is missing or unreadable.
    std::string Style() const;

private:
    std::filesystem::path iniFileName_;
    TIniF iniF_;
};

} // namespace vibrolan
