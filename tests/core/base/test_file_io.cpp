#include "base/errors.hpp"
#include "base/file_io.hpp"
#include "base/message_sink.hpp"
#include "support/temp_dir.hpp"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>

using namespace vibrolan;

TEST(FileIo, WriteAtomicallyReplacesAndKeepsPermissions)
{
    test::TempDir dir;
    const auto file = dir / "a.lfm";
    writeFileAtomically(file, std::string_view("first"));
    ::chmod(file.c_str(), 0640);
    writeFileAtomically(file, std::string_view("second, longer"));
    const auto bytes = readWholeFile(file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "second, longer");
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    // No temporary files are left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

TEST(FileIo, FailedWriteLeavesTheOldFileAlone)
{
    test::TempDir dir;
    const auto file = dir / "keep.txt";
    writeFileAtomically(file, std::string_view("precious"));
    EXPECT_THROW(writeFileAtomically(dir / "missing-folder" / "x.txt", std::string_view("x")), FileError);
    const auto bytes = readWholeFile(file);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "precious");
}

TEST(FileIo, ReadErrorsAreTypedAndNameTheFile)
{
    test::TempDir dir;
    try {
        readWholeFile(dir / "nope.bld");
        FAIL();
    } catch (const FileError &e) {
        EXPECT_NE(std::string(e.what()).find("nope.bld"), std::string::npos);
    }
    EXPECT_THROW(readWholeFile(dir.path()), FileError); // a folder
    std::ofstream(dir / "big") << std::string(100, 'x');
    EXPECT_THROW(readWholeFile(dir / "big", 99), FileError);
    EXPECT_EQ(readWholeFile(dir / "big", 100).size(), 100u);
}

TEST(FileIo, ReadOnlyMeansNoOwnerWriteBit)
{
    test::TempDir dir;
    const auto file = dir / "ro.lfm";
    std::ofstream(file) << "x";
    EXPECT_FALSE(isReadOnlyFile(file));
    ::chmod(file.c_str(), 0444);
    EXPECT_TRUE(isReadOnlyFile(file));
    EXPECT_FALSE(isReadOnlyFile(dir / "absent"));
    // Saving over it is refused and leaves it as it was.
    EXPECT_THROW(writeFileAtomically(file, std::string_view("new")), FileError);
    EXPECT_EQ(readWholeFile(file), std::vector<std::uint8_t>{'x'});
}

TEST(MessageSinks, RecordingSinkAnswersFromItsQueueThenFallback)
{
    RecordingMessageSink sink(Answer::No);
    sink.queueAnswer(Answer::Yes);
    EXPECT_EQ(sink.show({"Внимание", "Сохранить?", Buttons::YesNo}), Answer::Yes);
    EXPECT_EQ(sink.show({"Внимание", "Еще?", Buttons::YesNo}), Answer::No);
    ASSERT_EQ(sink.messages().size(), 2u);
    EXPECT_EQ(sink.messages()[0].text, "Сохранить?");
    EXPECT_EQ(affirmativeAnswer(Buttons::OkCancel), Answer::Ok);
    EXPECT_EQ(affirmativeAnswer(Buttons::YesNoCancel), Answer::Yes);
}
