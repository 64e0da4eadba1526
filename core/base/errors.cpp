#include "base/errors.hpp"

#include <cstring>

namespace vibrolan {

std::string describeFileProblem(const std::filesystem::path &file, const std::string &what)
{
    if (file.empty())
        return what;
    return file.string() + ": " + what;
}

FileError::FileError(const std::filesystem::path &file, const std::string &what)
    : Error(describeFileProblem(file, what)), file_(file)
{
}

FormatError::FormatError(const std::filesystem::path &file, const std::string &what)
    : Error(describeFileProblem(file, what)), file_(file)
{
}

std::string systemErrorText(int errnum)
{
    char buf[256] = {};
    // GNU strerror_r may return a static string instead of filling buf.
    const char *text = strerror_r(errnum, buf, sizeof buf);
    return text != nullptr ? std::string(text) : std::string("error ") + std::to_string(errnum);
}

} // namespace vibrolan
