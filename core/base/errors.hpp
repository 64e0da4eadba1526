// Typed errors of the core. Front ends catch vibrolan::Error: the GUI shows
// what() and keeps running, the CLI prints it and exits non-zero.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace vibrolan {

class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file could not be opened, read, written or created.
class FileError : public Error {
public:
    FileError(const std::filesystem::path &file, const std::string &what);
    const std::filesystem::path &file() const { return file_; }

private:
    std::filesystem::path file_;
};

// A file was read but its contents are malformed (truncated, foreign, corrupt).
class FormatError : public Error {
public:
    FormatError(const std::filesystem::path &file, const std::string &what);
    const std::filesystem::path &file() const { return file_; }

private:
    std::filesystem::path file_;
};

// A value entered or configured is outside what the operation accepts.
class ValueError : public Error {
public:
    using Error::Error;
};

// "<file>: <what>" with the path as UTF-8.
std::string describeFileProblem(const std::filesystem::path &file, const std::string &what);

// strerror of the current errno, for messages.
std::string systemErrorText(int errnum);

} // namespace vibrolan
