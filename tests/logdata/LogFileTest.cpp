// The log text file: rewriting, appending, CR LF lines, and the run-time library's messages.
#include "logdata/LogFile.h"

#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using testfiles::ReadFile;

class LogFile : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[] = "/tmp/quorva-logdata-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        Dir = dir;
        Name = Dir + "/log"; // no extension is added
    }
    void TearDown() override {
        std::remove(Name.c_str());
        rmdir((Dir + "/sub").c_str());
        rmdir(Dir.c_str());
    }
    std::string Dir;
    std::string Name;
};

TEST_F(LogFile, RewriteReplacesAnExistingFileAndLinesEndInCrLf) {
    {
        std::ofstream old(Name);
        old << "an older and much longer content\n";
    }
    logdata::TLogFile file;
    file.Rewrite(Name);
    EXPECT_TRUE(file.IsOpen());
    file.WriteLine("first");
    file.WriteLine("");
    file.Write("tail");
    file.Close();
    EXPECT_FALSE(file.IsOpen());
    EXPECT_EQ(ReadFile(Name), "first\r\n\r\ntail");
    file.Close(); // closing twice is harmless
}

TEST_F(LogFile, AppendWritesAfterTheEnd) {
    logdata::TLogFile file;
    file.Rewrite(Name);
    file.WriteLine("one");
    file.Close();
    file.Append(Name);
    file.WriteLine("two");
    file.Close();
    EXPECT_EQ(ReadFile(Name), "one\r\ntwo\r\n");
}

TEST_F(LogFile, BytesAreWrittenUnchanged) {
    logdata::TLogFile file;
    file.Rewrite(Name);
    file.WriteLine(std::string("caf\xe9\x01", 5));
    file.Close();
    EXPECT_EQ(ReadFile(Name), std::string("caf\xe9\x01\r\n", 7));
}

TEST_F(LogFile, FailuresCarryTheRunTimeLibraryMessages) {
    ASSERT_EQ(mkdir((Dir + "/sub").c_str(), 0700), 0);
    struct Case {
        std::string Name;
        std::string Message;
    };
    const Case cases[] = {
        {Dir + "/missing/log.txt", "File not found"},
        {Dir + "/sub", "File access denied"},
        {Name + "/below-a-file", "Invalid filename"},
        {"", "File not found"},
    };
    { std::ofstream make(Name); }
    for (const Case& c : cases) {
        logdata::TLogFile file;
        try {
            file.Rewrite(c.Name);
            ADD_FAILURE() << c.Name << " opened";
        } catch (const logdata::EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), c.Message) << c.Name;
        }
        EXPECT_FALSE(file.IsOpen());
    }
    logdata::TLogFile missing;
    EXPECT_THROW(missing.Append(Dir + "/nothing"), logdata::EInOutError);
}

TEST(LogFileErrors, DiskFullAndOtherSystemErrors) {
    logdata::TLogFile file;
    file.Rewrite("/dev/full");
    try {
        file.WriteLine("entry");
        ADD_FAILURE() << "write to a full device succeeded";
    } catch (const logdata::EInOutError& e) {
        EXPECT_STREQ(e.what(), "Disk full");
        EXPECT_EQ(e.ErrorCode, 101);
    }
    file.Close();
    EXPECT_EQ(logdata::InOutErrorMessage(ENOSPC), "Disk full");
    EXPECT_EQ(logdata::InOutErrorMessage(EMFILE), "Too many open files");
    EXPECT_EQ(logdata::InOutErrorMessage(EACCES), "File access denied");
    EXPECT_EQ(logdata::InOutErrorMessage(EIO), "I/O error " + std::to_string(EIO));
    EXPECT_EQ(logdata::InOutErrorMessage(ELOOP), "I/O error " + std::to_string(ELOOP));
}

TEST(LogFileErrors, WritingWithNoFileOpenIsAnError) {
    logdata::TLogFile file;
    try {
        file.WriteLine("entry");
        ADD_FAILURE() << "wrote without a file";
    } catch (const logdata::EInOutError& e) {
        EXPECT_STREQ(e.what(), "I/O error 103");
    }
}

} // namespace
