#include "output/data_set_staging.hpp"

#include "base/errors.hpp"
#include "base/file_set_replacement.hpp"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace vibrolan {

namespace fs = std::filesystem;

namespace {

fs::path makeHiddenFolder(const fs::path &inside, const std::string &stem, const fs::path &forErrors)
{
    std::string tmpl = (inside / ("." + stem + ".saving-XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr)
        throw FileError(forErrors, "cannot create a staging folder for the save: " + systemErrorText(errno));
    return tmpl;
}

std::vector<fs::path> regularFileNames(const fs::path &folder)
{
    std::vector<fs::path> names;
    std::error_code ec;
    for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
        std::error_code kindError;
        if (it->is_regular_file(kindError) && !it->is_symlink(kindError))
            names.push_back(it->path().filename());
    }
    if (ec)
        throw FileError(folder, "cannot list the data set's files: " + ec.message());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

DataSetStaging::DataSetStaging(fs::path folder) : target_(std::move(folder))
{
    std::error_code ec;
    // Absolute, so that the current folder itself can be a data set's folder.
    target_ = fs::absolute(target_).lexically_normal();
    if (target_.filename().empty())
        target_ = target_.parent_path();
    existed_ = fs::is_directory(target_, ec);
    const std::string name = target_.filename().string();
    if (existed_) {
        work_ = makeHiddenFolder(target_, "set", target_);
    } else {
        fs::path parent = target_.parent_path();
        if (parent.empty())
            parent = ".";
        fs::create_directories(parent, ec);
        work_ = makeHiddenFolder(parent, name, target_);
    }
    staged_ = work_ / name;
    try {
        fs::create_directory(staged_);
        if (existed_) {
            original_ = regularFileNames(target_);
            for (const fs::path &f : original_)
                fs::copy_file(target_ / f, staged_ / f); // permissions come along
        }
    } catch (const fs::filesystem_error &e) {
        fs::remove_all(work_, ec);
        throw FileError(target_, std::string("cannot prepare the save: ") + e.code().message());
    } catch (...) {
        fs::remove_all(work_, ec);
        throw;
    }
}

DataSetStaging::~DataSetStaging()
{
    std::error_code ec;
    fs::remove_all(work_, ec);
}

fs::path DataSetStaging::staged(const fs::path &inFolder) const
{
    const fs::path rel = fs::absolute(inFolder).lexically_normal().lexically_relative(target_);
    if (rel.empty() || rel == ".")
        return staged_;
    return staged_ / rel;
}

void DataSetStaging::commit()
{
    if (committed_)
        return;
    if (!existed_) {
        if (::rename(staged_.c_str(), target_.c_str()) != 0)
            throw FileError(target_, "cannot put the saved data set in place: " + systemErrorText(errno));
    } else {
        commitIntoExisting();
    }
    committed_ = true;
}

void DataSetStaging::commitIntoExisting()
{
    FileSetReplacement files;
    const std::vector<fs::path> now = regularFileNames(staged_);
    for (const fs::path &name : now)
        files.add(staged_ / name, target_ / name);
    for (const fs::path &name : original_)
        if (!std::binary_search(now.begin(), now.end(), name))
            files.remove(target_ / name); // the save dropped it
    files.commit();
}

} // namespace vibrolan
