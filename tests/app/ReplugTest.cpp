// Unplugging and replugging the logger: the program finds it again by itself.
#include "SimFixture.h"

#include "cport/CPort.h"
#include "line/KestroLine.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace apptest {
namespace {

// The simulated logger behind a fixed path, as a USB adapter's node would be: the path goes
// when it is unplugged and comes back, for a new line, when it is plugged in.
class ReplugTest : public SimAppTest {
protected:
    void SetUp() override {
        SimAppTest::SetUp();
        ASSERT_TRUE(Dir.isValid());
        Node = Dir.filePath("ttyKestro").toStdString();
        PlugIn();
        setenv("QUORVA_COM1", Node.c_str(), 1);
        ShowWindow([this](app::TForm1& F) {
            F.HandlerTrace = [this](const char* Name) {
                if (std::string(Name) == "ComPortBoxChange")
                    ++Selections;
            };
        });
    }
    void TearDown() override {
        SimAppTest::TearDown();
        setenv("QUORVA_COM1", MissingPort, 1);
    }
    void PlugIn() {
        Runner = std::make_unique<sim::PtyRunner>();
        Runner->Start();
        ASSERT_EQ(symlink(Runner->Path().c_str(), Node.c_str()), 0);
    }
    void Unplug() {
        ::unlink(Node.c_str());
        Runner.reset();
    }
    bool Searching(int Milliseconds) {
        return WaitFor(
            [&] {
                return !Form->Line->Port().Connected() &&
                       Form->Status->text() == "  Trying To Find Kestro";
            },
            Milliseconds);
    }

    QTemporaryDir Dir;
    std::string Node;
    int Selections = 0;
};

TEST_F(ReplugTest, ARepluggedLoggerIsReadyAgainWithoutAClick) {
    ASSERT_TRUE(WaitForReady(9000)) << Form->Status->text().toStdString();
    const QString Name = Form->KestroName->text();
    Unplug();
    ASSERT_TRUE(Searching(5000));
    Pump(1500);
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Selections, 0);

    QElapsedTimer Clock;
    PlugIn();
    Clock.start();
    ASSERT_TRUE(WaitForReady(15000)) << Form->Status->text().toStdString();
    std::printf("[ MEASURE  ] replugged to \"  Kestro Ready\": %lld ms\n",
                static_cast<long long>(Clock.elapsed()));
    // Reopened once, as choosing COM1 in the selector does, and nothing more to click away.
    EXPECT_EQ(Selections, 1);
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
    EXPECT_EQ(Form->KestroName->text(), Name);
}

TEST_F(ReplugTest, AReplugFasterThanTheProgramNoticedIsFoundToo) {
    ASSERT_TRUE(WaitForReady(9000)) << Form->Status->text().toStdString();
    QElapsedTimer Clock;
    Unplug();
    PlugIn();
    Clock.start();
    // The old line fails the next poll, which closes the port and says so.
    ASSERT_TRUE(WaitFor([&] { return !Boxes.isEmpty() && !Form->Line->Port().Connected(); }, 5000))
        << Boxes.join(QChar(10)).toStdString();
    // The new line is taken up, perhaps before the silence counted as a lost link at all.
    ASSERT_TRUE(WaitFor(
        [&] {
            return Selections == 1 && Form->Line->Port().Connected() &&
                   Runner->Count().answered >= 10 && Form->Status->text() == "  Kestro Ready";
        },
        15000))
        << Form->Status->text().toStdString() << " selections " << Selections;
    std::printf("[ MEASURE  ] quick replug to ten answers and \"  Kestro Ready\": %lld ms\n",
                static_cast<long long>(Clock.elapsed()));
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
}

} // namespace
} // namespace apptest
