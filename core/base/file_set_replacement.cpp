#include "base/file_set_replacement.hpp"

#include "base/errors.hpp"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace vibrolan {

namespace fs = std::filesystem;

namespace {

fs::path folderOf(const fs::path &target)
{
    return target.parent_path().empty() ? fs::path(".") : target.parent_path();
}

// A unique name beside `target`, created empty so no one else takes it.
fs::path uniqueBeside(const fs::path &target, const char *what)
{
    std::string tmpl =
        (folderOf(target) / ("." + target.filename().string() + "." + what + "-XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0)
        throw FileError(target, "cannot create a temporary file beside it: " + systemErrorText(errno));
    ::close(fd);
    return tmpl;
}

bool present(const fs::path &p)
{
    std::error_code ec;
    return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

} // namespace

FileSetReplacement::~FileSetReplacement()
{
    if (committed_)
        return;
    for (const Entry &e : entries_)
        if (!e.temp.empty())
            ::unlink(e.temp.c_str());
}

fs::path FileSetReplacement::reserve(const fs::path &target)
{
    const fs::path temp = uniqueBeside(target, "new");
    // Whole-file writers keep the mode of the file they replace: that of the
    // old target, or the usual 0666 & ~umask (mkstemp gives 0600).
    struct stat st {};
    if (::stat(target.c_str(), &st) == 0) {
        ::chmod(temp.c_str(), st.st_mode & 07777);
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        ::chmod(temp.c_str(), 0666 & ~mask);
    }
    entries_.push_back({temp, target, {}});
    return temp;
}

void FileSetReplacement::add(const fs::path &temp, const fs::path &target)
{
    entries_.push_back({temp, target, {}});
}

void FileSetReplacement::remove(const fs::path &target) { entries_.push_back({{}, target, {}}); }

void FileSetReplacement::commit()
{
    if (committed_)
        return;
    std::size_t done = 0;
    auto restore = [&] {
        for (std::size_t i = done; i-- > 0;) {
            Entry &e = entries_[i];
            if (!e.backup.empty())
                ::rename(e.backup.c_str(), e.target.c_str());
            else if (!e.temp.empty())
                ::unlink(e.target.c_str());
        }
    };
    try {
        for (; done < entries_.size(); ++done) {
            Entry &e = entries_[done];
            if (present(e.target)) {
                // The old file stays reachable under a second name (a copy
                // where the file system has no links) until the set is in place.
                e.backup = uniqueBeside(e.target, "old");
                ::unlink(e.backup.c_str());
                if (::link(e.target.c_str(), e.backup.c_str()) != 0) {
                    std::error_code ec;
                    fs::copy_file(e.target, e.backup, ec);
                    if (ec) {
                        e.backup.clear();
                        throw FileError(e.target,
                                        "cannot keep the old file while replacing it: " + ec.message());
                    }
                }
            }
            const int r =
                e.temp.empty() ? ::unlink(e.target.c_str()) : ::rename(e.temp.c_str(), e.target.c_str());
            if (r != 0 && !(e.temp.empty() && errno == ENOENT))
                throw FileError(e.target,
                                std::string(e.temp.empty() ? "cannot remove: " : "cannot replace: ") +
                                    systemErrorText(errno));
        }
    } catch (...) {
        // The entry that failed has not replaced its target; only its backup goes.
        if (done < entries_.size() && !entries_[done].backup.empty())
            ::unlink(entries_[done].backup.c_str());
        restore();
        throw;
    }
    committed_ = true;
    for (const Entry &e : entries_)
        if (!e.backup.empty())
            ::unlink(e.backup.c_str());
}

} // namespace vibrolan
