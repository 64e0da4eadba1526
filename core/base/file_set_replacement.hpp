// Files that belong together (a data set's channels, a recording with its
// configuration and ground truth) replaced all or none. Each new file is first
// written completely under a temporary name beside its target; commit() then
// renames them into place, and if any step fails it puts back every file it
// had already replaced, so the old files stay as they were byte for byte.
#pragma once

#include <filesystem>
#include <vector>

namespace vibrolan {

class FileSetReplacement {
public:
    FileSetReplacement() = default;
    FileSetReplacement(const FileSetReplacement &) = delete;
    FileSetReplacement &operator=(const FileSetReplacement &) = delete;
    // Removes the temporary files of a set that was not committed.
    ~FileSetReplacement();

    // A new, unique and empty temporary file beside `target` for its new
    // content; the caller writes it (whole-file writers may replace it).
    // Throws FileError.
    std::filesystem::path reserve(const std::filesystem::path &target);
    // A finished temporary file (same file system) that is to replace `target`.
    void add(const std::filesystem::path &temp, const std::filesystem::path &target);
    // `target` is to be removed with the rest.
    void remove(const std::filesystem::path &target);

    // Throws FileError after putting the old files back.
    void commit();

private:
    struct Entry {
        std::filesystem::path temp; // empty: a removal
        std::filesystem::path target;
        std::filesystem::path backup; // the old file while the set is replaced
    };
    std::vector<Entry> entries_;
    bool committed_ = false;
};

} // namespace vibrolan
