// kestro against the simulated logger whose full cyclic log moves on in the middle of the
// download: the entry the pass steps over is read again and put in its place.
#include "KestroRun.h"
#include "tests/sim/SimTestSupport.h"

#include "sim/PtyRunner.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace clitest {
namespace {

constexpr std::size_t HeaderLines = 21;

std::string WithoutNumber(const std::string& line) {
    return line.substr(line.find(' ') + 1);
}

TEST(MovingLogOnSim, FullCyclicLogThatLogsMidDownloadLosesNoEntryAndKeepsTimeOrder) {
    sim::Config config = simtest::TestConfig();
    config.logs = 511;
    config.cyclic = true;
    config.faults.logDuringDownloadAt = 200;
    sim::PtyRunner runner(config);
    runner.Start();
    const std::vector<std::string> atStart = runner.LogLines();
    QTemporaryDir dir;
    const std::string path = dir.filePath("moved.txt").toStdString();
    const TRun run = RunKestro({"download", "--fast", "-o", path, "--port", runner.Path()});
    ASSERT_EQ(run.Code, 0) << run.Err;
    const std::vector<std::string> atEnd = runner.LogLines();
    ASSERT_EQ(WithoutNumber(atEnd.front()), WithoutNumber(atStart[1])) << "the log did not move";
    // The oldest entry, read before it was dropped, then all the logger holds now.
    std::vector<std::string> expected = {WithoutNumber(atStart.front())};
    for (const std::string& line : atEnd)
        expected.push_back(WithoutNumber(line));
    const std::vector<std::string> lines = CrLfLines(ReadFile(path));
    const bool zero =
        !runner.Inspect([](const sim::Kestro& k) { return k.CountEntryLine().empty(); });
    ASSERT_EQ(lines.size(), HeaderLines + (zero ? 1 : 0) + expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const std::string& line = lines[HeaderLines + (zero ? 1 : 0) + i];
        EXPECT_EQ(line, std::to_string(i + 1) + " " + expected[i]);
    }
}

} // namespace
} // namespace clitest
