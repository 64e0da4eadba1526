// A data set of several files (a ZAMI folder: key file plus per-channel files)
// is saved into a staging copy and put in place as a whole, so that a save that
// fails anywhere (a full disk, a refused file) leaves the old set exactly as it
// was and never a mix of old and new channels.
#pragma once

#include <filesystem>
#include <vector>

namespace vibrolan {

class DataSetStaging {
public:
    // `folder` is the data set's folder, existing or not. An existing folder's
    // regular files are copied into the staging folder (subfolders are not
    // part of a data set and stay as they are). Throws FileError.
    explicit DataSetStaging(std::filesystem::path folder);
    DataSetStaging(const DataSetStaging &) = delete;
    DataSetStaging &operator=(const DataSetStaging &) = delete;
    // Without commit() the staging files are removed and the set is untouched.
    ~DataSetStaging();

    // Where to save instead of `folder`: a folder with the same name, so key
    // files named after their folder keep their names.
    const std::filesystem::path &folder() const { return staged_; }
    // The staged counterpart of a path inside the data set's folder.
    std::filesystem::path staged(const std::filesystem::path &inFolder) const;

    // Puts the staged set in place: a new folder by one rename; in an existing
    // folder every changed file is replaced and every file the save removed is
    // removed, and if any step fails the old files are put back before the
    // FileError is thrown.
    void commit();

private:
    void commitIntoExisting();

    std::filesystem::path target_;
    std::filesystem::path work_;                  // hidden folder that holds the staging copy
    std::filesystem::path staged_;                // work_/<name of target_>
    std::vector<std::filesystem::path> original_; // names of the set's files before the save
    bool existed_ = false;
    bool committed_ = false;
};

} // namespace vibrolan
