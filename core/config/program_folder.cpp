#include "config/program_folder.hpp"

#include <system_error>

namespace vibrolan {

std::filesystem::path ProgramFolder()
{
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty())
        return std::filesystem::current_path(ec);
    return exe.parent_path();
}

std::string ProgramFolderFile(const std::string &name) { return (ProgramFolder() / name).string(); }

} // namespace vibrolan
