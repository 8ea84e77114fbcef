// The log text file: rewriting, appending, CR LF lines, and the run-time library's messages.
#include "logdata/LogFile.h"

#include "tests/TestDevices.h"
#include "tests/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <fstream>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    EXPECT_EQ(logdata::InOutErrorMessage(ENOSPC), "Disk full");
    EXPECT_EQ(logdata::InOutErrorMessage(EMFILE), "Too many open files");
    EXPECT_EQ(logdata::InOutErrorMessage(EACCES), "File access denied");
    EXPECT_EQ(logdata::InOutErrorMessage(EIO), "I/O error " + std::to_string(EIO));
    EXPECT_EQ(logdata::InOutErrorMessage(ELOOP), "I/O error " + std::to_string(ELOOP));
    const testfiles::TFullDevice full;
    if (!full.Made())
        GTEST_SKIP() << "no device node can be made here for the full disk";
    logdata::AllowCharacterDevicesForTests(true);
    logdata::TLogFile file;
    file.Rewrite(full.Path());
    try {
        file.WriteLine("entry");
        ADD_FAILURE() << "write to a full device succeeded";
    } catch (const logdata::EInOutError& e) {
        EXPECT_STREQ(e.what(), "Disk full");
        EXPECT_EQ(e.ErrorCode, 101);
    }
    file.Close();
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

namespace {

// A named pipe, with and without a reader waiting, a device and a socket: each is refused at
// once with a message that names it, and nothing is written to it.
TEST_F(LogFile, OnlyRegularFilesAreOpenedAndNothingWaits) {
    const std::string fifo = Dir + "/pipe";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    logdata::TLogFile file;
    for (const bool withReader : {false, true}) {
        SCOPED_TRACE(withReader);
        int reader = -1;
        if (withReader) {
            reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
            ASSERT_GE(reader, 0);
        }
        try {
            file.Rewrite(fifo);
            ADD_FAILURE() << "a named pipe was opened";
        } catch (const logdata::EInOutError& e) {
            EXPECT_EQ(std::string(e.what()), logdata::NotAFileMessage(fifo));
            EXPECT_NE(std::string(e.what()).find(fifo), std::string::npos);
        }
        EXPECT_FALSE(file.IsOpen());
        if (reader >= 0) {
            char c;
            EXPECT_LE(::read(reader, &c, 1), 0); // nothing reached the reader
            ::close(reader);
        }
    }
    EXPECT_THROW(file.Append(fifo), logdata::EInOutError);
    logdata::AllowCharacterDevicesForTests(false);
    if (const testfiles::TNullDevice null; null.Made()) {
        EXPECT_THROW(file.Rewrite(null.Path()), logdata::EInOutError);
        struct stat st {};
        ASSERT_EQ(::stat(null.Path().c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)); // left as it was
    }

    const std::string sock = Dir + "/sock";
    const int s = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(s, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", sock.c_str());
    ASSERT_EQ(::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    EXPECT_THROW(file.Rewrite(sock), logdata::EInOutError);
    ::close(s);
    std::remove(sock.c_str());
    std::remove(fifo.c_str());

    // A new name and an existing regular file still work.
    EXPECT_NO_THROW(file.Rewrite(Name));
    file.WriteLine("ok");
    file.Close();
    EXPECT_EQ(ReadFile(Name), "ok\r\n");
}

} // namespace
