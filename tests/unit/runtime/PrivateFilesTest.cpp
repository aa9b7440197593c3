// The rules for Mirl's own files: only regular files of a bounded size are read, never through
// a link and never waiting on a FIFO; replacements go through an exclusive temporary file.

#include "runtime/PrivateFiles.h"
#include "tests/support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace mirl;
namespace fs = std::filesystem;

namespace {
unsigned modeOf(const fs::path& p) {
    struct stat st {};
    ::lstat(p.c_str(), &st);
    return st.st_mode & 0777;
}
} // namespace

TEST(PrivateFiles, OnlyRegularFilesOfABoundedSizeAreRead) {
    test::TempDir dir;
    const auto regular = dir.path() / "regular";
    const auto fifo = dir.path() / "fifo";
    const auto toZero = dir.path() / "zero";
    const auto toRegular = dir.path() / "link";
    const auto big = dir.path() / "big";
    std::ofstream(regular) << "{}";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", toZero);
    fs::create_symlink(regular, toRegular);
    std::ofstream(big) << std::string(101, 'x');
    struct Row {
        const char* name;
        fs::path file;
        FileRead::Outcome outcome;
        const char* why;
    };
    for (const Row& row :
         {Row{"regular", regular, FileRead::Outcome::read, ""},
          Row{"missing", dir.path() / "none", FileRead::Outcome::missing, ""},
          Row{"a FIFO does not hang", fifo, FileRead::Outcome::refused, "not a regular file"},
          Row{"a link to /dev/zero", toZero, FileRead::Outcome::refused, "a symbolic link"},
          Row{"a link to a regular file", toRegular, FileRead::Outcome::refused, "a symbolic link"},
          Row{"a folder", dir.path(), FileRead::Outcome::refused, "not a regular file"},
          Row{"too large", big, FileRead::Outcome::refused, "larger than 100 bytes"}}) {
        const FileRead read = readRegularFile(row.file, 100);
        EXPECT_EQ(read.outcome, row.outcome) << row.name;
        EXPECT_EQ(read.why, row.why) << row.name;
        EXPECT_EQ(irregularFile(row.file, 100).value_or(""), row.why) << row.name;
    }
    EXPECT_EQ(readRegularFile(regular, 100).text, "{}");
}

TEST(PrivateFiles, AReplacementNeverWritesThroughALinkPlantedAtItsTemporaryName) {
    test::TempDir dir;
    const auto file = dir.path() / "state.json";
    const auto victim = dir.path() / "victim";
    std::ofstream(victim) << "precious";
    fs::create_symlink(victim, dir.path() / "state.json.tmp");
    EXPECT_FALSE(replaceFile(file, "new"));
    EXPECT_EQ(test::readFile(victim), "precious");
    EXPECT_EQ(test::readFile(file), "new");
    EXPECT_EQ(modeOf(file), 0600u);
    EXPECT_FALSE(fs::exists(dir.path() / "state.json.tmp"));

    // A link in the file's own place is replaced, not followed.
    fs::remove(file);
    fs::create_symlink(victim, file);
    EXPECT_FALSE(replaceFile(file, "newer"));
    EXPECT_FALSE(fs::is_symlink(file));
    EXPECT_EQ(test::readFile(victim), "precious");
}

TEST(PrivateFiles, FoldersAreCreatedForTheUserOnly) {
    test::TempDir dir;
    const auto folder = dir.path() / "state" / "Mirl";
    EXPECT_FALSE(makePrivateFolder(folder));
    EXPECT_EQ(modeOf(dir.path() / "state"), 0700u);
    EXPECT_EQ(modeOf(folder), 0700u);
    std::ofstream(dir.path() / "file") << "x";
    EXPECT_TRUE(makePrivateFolder(dir.path() / "file" / "Mirl"));
}
