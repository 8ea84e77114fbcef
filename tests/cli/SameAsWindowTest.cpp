// kestro and the window against the same simulated logger: the same log file, byte for byte
// apart from the PC's time, and the same questions on the line.
#include "KestroRun.h"
#include "tests/sim/SimTestSupport.h"

#include "app/Logger.h"
#include "app/Shell.h"
#include "sim/PtyRunner.h"

#include <QEventLoop>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdlib>
#include <gtest/gtest.h>

namespace clitest {
namespace {

constexpr size_t PcTimeLine = 15; // counted from 0

bool WaitFor(const std::function<bool()>& done, int milliseconds) {
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (done())
            loop.quit();
    });
    check.start(10);
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    if (!done())
        loop.exec();
    return done();
}

// The log requests of a transcript, in order: what a download asked the logger.
std::vector<std::string> LogRequests(const std::vector<std::string>& transcript, size_t from) {
    std::vector<std::string> requests;
    for (size_t i = from; i < transcript.size(); ++i) {
        const size_t at = transcript[i].find(" RX <l");
        if (at != std::string::npos)
            requests.push_back(transcript[i].substr(at + 4));
    }
    return requests;
}

TEST(SameAsWindow, DownloadWritesTheFileTheWindowWritesForTheSameLogger) {
    // A logger clock that stands still: both files must see the same logger.
    simtest::FakeClock clock;
    sim::Config config = simtest::TestConfig();
    config.logs = 45;
    sim::PtyRunner runner(config, clock.Source());
    runner.Start();
    QTemporaryDir dir;
    const std::string windowPath = dir.filePath("window.txt").toStdString();
    const std::string kestroPath = dir.filePath("kestro.txt").toStdString();

    QStringList boxes;
    app::SetErrorBoxHook([&](const QString& m) { boxes << m; });
    app::SetMessageBoxHook([&](const QString& m) { boxes << m; });
    setenv("QUORVA_COM1", runner.Path().c_str(), 1);
    {
        app::TForm1 form;
        form.SaveNameHook = [&] { return std::optional<std::string>(windowPath); };
        ASSERT_TRUE(WaitFor([&] { return form.Status->text() == "  Kestro Ready"; }, 15000));
        form.ReadAllLogsClick();
        ASSERT_TRUE(form.Link->Downloading());
        ASSERT_TRUE(WaitFor([&] { return !form.Link->Downloading(); }, 20000));
    }
    setenv("QUORVA_COM1", MissingPort, 1);
    app::SetErrorBoxHook({});
    app::SetMessageBoxHook({});
    EXPECT_TRUE(boxes.isEmpty()) << boxes.join('\n').toStdString();
    const size_t windowEnd = runner.Transcript().size();

    const TRun run = RunKestro({"download", "-o", kestroPath, "--port", runner.Path()});
    ASSERT_EQ(run.Code, 0) << run.Err;

    std::vector<std::string> window = CrLfLines(ReadFile(windowPath));
    std::vector<std::string> kestro = CrLfLines(ReadFile(kestroPath));
    ASSERT_EQ(window.size(), 21u + 1 + 45);
    ASSERT_GT(kestro.size(), PcTimeLine);
    kestro[PcTimeLine] = window[PcTimeLine] = "";
    EXPECT_EQ(kestro, window);
    // The same questions in the same order.
    const auto transcript = runner.Transcript();
    const auto byWindow = LogRequests({transcript.begin(), transcript.begin() + windowEnd}, 0);
    const auto byKestro = LogRequests(transcript, windowEnd);
    ASSERT_GE(byKestro.size(), 47u);
    ASSERT_GE(byWindow.size(), 47u);
    EXPECT_EQ(std::vector<std::string>(byKestro.end() - 47, byKestro.end()),
              std::vector<std::string>(byWindow.end() - 47, byWindow.end()));
}

} // namespace
} // namespace clitest
