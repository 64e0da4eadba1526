// A save that fails midway (here: the file-size limit of the process, as a
// nearly full disk does) leaves the data set that was there byte for byte.
#include "base/errors.hpp"
#include "export/pair_save.hpp"
#include "export_test_support.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <map>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vibrolan {
namespace {

using test::fixedEnv;
using test::ResultFixture;
using test::TempDir;

// Every file below `dir`, hidden ones included, with its bytes.
std::map<std::string, std::string> snapshot(const std::filesystem::path &dir)
{
    std::map<std::string, std::string> files;
    for (const auto &e : std::filesystem::recursive_directory_iterator(dir))
        if (e.is_regular_file())
            files[e.path().lexically_relative(dir).string()] = test::fileBytes(e.path());
    return files;
}

enum Outcome { kFileError = 10, kSaved = 11, kOtherError = 12 };

// Runs `save` in a child process whose files may not grow beyond `limit` bytes.
int saveWithFileSizeLimit(rlim_t limit, const std::function<void()> &save)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
        const rlimit lim{limit, limit};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        int code = kSaved;
        try {
            save();
        } catch (const FileError &) {
            code = kFileError;
        } catch (...) {
            code = kOtherError;
        }
        ::_exit(code);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

struct SaveKind {
    const char *name;
    void (*save)(const TCfgDfm &, TPairLocation, int, TSpeedUnit, const std::filesystem::path &,
                 const DataFileEnv &, const TSaveProgress &);
    const char *lateFile; // a channel file the save writes after others
};

// Two ways a save fails midway: the disk fills up (every new channel is far
// larger than the limit, the key file is not), or a channel file written late
// is read-only, after the earlier channels were already written.
TEST(FailedSave, LeavesTheOldDataSetIntact)
{
    const SaveKind kinds[] = {{"series", &SavePairSeries, "blade2.dat"},
                              {"slice", &SavePairSlice, "Tacho.dat"}};
    for (const SaveKind &k : kinds) {
        for (const bool diskFull : {true, false}) {
            for (const bool byKeyFile : {false, true}) {
                SCOPED_TRACE(std::string(k.name) + (diskFull ? ", disk full" : ", read-only channel") +
                             (byKeyFile ? ", by key file" : ", by folder"));
                TempDir tmp;
                const std::filesystem::path set = tmp / "set";
                k.save(ResultFixture(5, 3), {0, 0}, 1, TSpeedUnit::suRpm, set, fixedEnv(), {});
                test::writeBytes(set / "notes.txt", "kept");
                const std::filesystem::path late = set / k.lateFile;
                if (!diskFull)
                    std::filesystem::permissions(late, std::filesystem::perms::owner_write,
                                                 std::filesystem::perm_options::remove);
                const auto before = snapshot(tmp.path());
                ASSERT_GE(before.size(), 5u); // key file, channels, notes

                const TCfgDfm big = ResultFixture(4000, 3);
                const std::filesystem::path target = byKeyFile ? test::keyFileOf(set) : set;
                auto save = [&] { k.save(big, {0, 0}, 1, TSpeedUnit::suHz, target, fixedEnv(), {}); };
                EXPECT_EQ(saveWithFileSizeLimit(diskFull ? 6000 : RLIM_INFINITY, save), kFileError);
                EXPECT_EQ(snapshot(tmp.path()), before);

                // Once the obstacle is gone the same save replaces the set as a whole.
                std::filesystem::permissions(late, std::filesystem::perms::owner_write,
                                             std::filesystem::perm_options::add);
                save();
                const auto after = snapshot(tmp.path());
                EXPECT_EQ(after.at("set/notes.txt"), "kept");
                EXPECT_NE(after.at("set/" + std::string(k.lateFile)),
                          before.at("set/" + std::string(k.lateFile)));
                for (const auto &[name, bytes] : after)
                    EXPECT_EQ(name.find(".saving"), std::string::npos) << name << " left behind";
            }
        }
    }
}

TEST(FailedSave, OfANewDataSetLeavesNoFolder)
{
    TempDir tmp;
    EXPECT_EQ(
        saveWithFileSizeLimit(
            6000,
            [&] {
                SavePairSeries(ResultFixture(4000, 2), {0, 0}, 1, TSpeedUnit::suRpm, tmp / "new", fixedEnv());
            }),
        kFileError);
    EXPECT_TRUE(std::filesystem::is_empty(tmp.path()));
}

} // namespace
} // namespace vibrolan
