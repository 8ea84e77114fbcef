// The archive under load and faults: two writers at once, a writer killed mid-transaction,
// and files that cannot be used.
#include "ArchiveSamples.h"

#include "archive/Schema.h"
#include "archive/Sqlite.h"
#include "tests/TestFiles.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using archivesamples::Download;
using archivesamples::Header;
using archivesamples::Records;

class ArchiveFaults : public ::testing::Test {
protected:
    void SetUp() override {
        Folder = testfiles::NewTempFile("archive-fault");
        std::remove(Folder.c_str());
        mkdir(Folder.c_str(), 0700);
        Path = Folder + "/archive.sqlite3";
    }
    void TearDown() override { std::filesystem::remove_all(Folder); }

    // Every download whole: as many entries stored under it as it says it added, and the
    // file sound from end to end.
    void ExpectConsistent(std::size_t downloads) {
        archive::TDatabase db(Path, false, 5000);
        archive::TStatement check(db, "PRAGMA integrity_check");
        ASSERT_TRUE(check.Step());
        EXPECT_EQ(check.Text(0), "ok");
        archive::TStatement whole(
            db, "SELECT count(*), sum(d.added + d.conflicts = (SELECT count(*) FROM entry e "
                "WHERE e.download_id = d.id)) FROM download d");
        ASSERT_TRUE(whole.Step());
        EXPECT_EQ(whole.Int(0), static_cast<int64_t>(downloads));
        EXPECT_EQ(whole.Int(1), static_cast<int64_t>(downloads));
        archive::TStatement orphans(
            db, "SELECT count(*) FROM entry WHERE download_id NOT IN (SELECT id FROM download)");
        ASSERT_TRUE(orphans.Step());
        EXPECT_EQ(orphans.Int(0), 0);
    }

    std::string Folder, Path;
};

// Two programs (the window and a cron kestro) each archive downloads at the same moment.
TEST_F(ArchiveFaults, TwoProcessesAtOnceNeitherFailsBusy) {
    constexpr int PerProcess = 8;
    pid_t children[2];
    for (int c = 0; c < 2; ++c) {
        children[c] = fork();
        ASSERT_GE(children[c], 0);
        if (children[c] == 0) {
            int failed = 0;
            for (int d = 0; d < PerProcess; ++d) {
                try {
                    archive::ArchiveDownload(Path, Header(c ? "SN2" : "SN1", "Hull"),
                                             Records({2026, 1 + d, 1, 0, 0, 0, 0}, 400), "x",
                                             {2026, 8, 1, 0, 0, 0, 0});
                } catch (const std::exception& e) {
                    std::fprintf(stderr, "%s\n", e.what());
                    ++failed;
                }
            }
            _exit(failed);
        }
    }
    for (pid_t child : children) {
        int status = 0;
        waitpid(child, &status, 0);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "a download failed";
    }
    archive::TArchive a(Path);
    const auto loggers = a.Loggers();
    ASSERT_EQ(loggers.size(), 2u);
    for (const auto& logger : loggers) {
        EXPECT_EQ(logger.Downloads, std::size_t{PerProcess});
        EXPECT_EQ(logger.Entries, std::size_t{PerProcess * 400});
    }
    ExpectConsistent(2 * PerProcess);
}

// kill -9 while a big download is being written: the file stays sound, the finished downloads
// stay whole, and the half-written one leaves no trace.
TEST_F(ArchiveFaults, KilledMidWriteLeavesNoHalfDownload) {
    archive::ArchiveDownload(Path, Header("SN1", "Hull"), Records({2020, 1, 1, 0, 0, 0, 0}, 50),
                             "x", {2026, 8, 1, 0, 0, 0, 0});
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(ready[0]);
        archive::TArchive a(Path);
        const auto big = Download(Header("SN1", "Hull"), Records({2021, 1, 1, 0, 0, 0, 0}, 400000));
        (void)!write(ready[1], "go", 2);
        for (;;)
            a.AddDownload(big);
    }
    close(ready[1]);
    char go[2];
    ASSERT_EQ(read(ready[0], go, 2), 2);
    close(ready[0]);
    // Wait until the child's transaction holds the write lock, then kill it inside it.
    {
        archive::TDatabase db(Path, false, 0);
        bool locked = false;
        for (int tries = 0; tries < 2000 && !locked; ++tries) {
            try {
                db.Exec("BEGIN IMMEDIATE");
                db.Exec("ROLLBACK");
                usleep(1000);
            } catch (const archive::EArchive&) {
                locked = true;
            }
        }
        ASSERT_TRUE(locked) << "the child never began writing";
    }
    usleep(100000);
    kill(child, SIGKILL);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status));
    ExpectConsistent(1);
    archive::TArchive after(Path);
    EXPECT_EQ(
        after.AddDownload(Download(Header("SN1", "Hull"), Records({2022, 1, 1, 0, 0, 0, 0}, 5)))
            .Added,
        5u)
        << "the archive takes downloads again after the crash";
}

// Files the archive cannot use give a message that names the file, and change nothing.
TEST_F(ArchiveFaults, UnusableFilesRefusedWithTheirName) {
    const std::string notDatabase = Folder + "/text.sqlite3";
    std::ofstream(notDatabase) << "this is a log file, not an archive\n";
    const std::string newer = Folder + "/newer.sqlite3";
    {
        archive::TDatabase db(newer, true, 0);
        db.Exec("PRAGMA user_version = " + std::to_string(archive::SchemaVersion + 1));
    }
    // The path given, and the name the message must hold.
    const std::pair<std::string, std::string> cases[] = {
        {Folder, Folder},
        {notDatabase, notDatabase},
        {newer, newer},
        {notDatabase + "/archive.sqlite3", notDatabase}};
    for (const auto& [path, named] : cases) {
        try {
            archive::ArchiveDownload(path, Header("SN1", "Hull"),
                                     Records({2026, 1, 1, 0, 0, 0, 0}, 3), "x",
                                     {2026, 8, 1, 0, 0, 0, 0});
            ADD_FAILURE() << path << " was taken as an archive";
        } catch (const archive::EArchive& e) {
            EXPECT_NE(std::string(e.what()).find(named), std::string::npos) << e.what();
        }
    }
    EXPECT_EQ(testfiles::ReadFile(notDatabase), "this is a log file, not an archive\n");
}

// An archive from before versions were counted is brought up to date in place.
TEST_F(ArchiveFaults, EmptyOldFileUpgradedNotRefused) {
    {
        archive::TDatabase db(Path, true, 0);
        db.Exec("CREATE TABLE note(x)");
    }
    archive::TArchive a(Path);
    archive::TDatabase db(Path, false, 0);
    EXPECT_EQ(archive::UserVersion(db), archive::SchemaVersion);
}

} // namespace
