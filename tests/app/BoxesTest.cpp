// Error and message boxes open after their handler and stop nothing while they are open.
#include "SimFixture.h"

#include "app/Shell.h"
#include "cport/CPort.h"
#include "line/KestroLine.h"

#include <QLineEdit>
#include <QPushButton>

#include <cstdlib>

namespace apptest {
namespace {

using BoxesTest = SimAppTest;

// A box "stays open" by running the event loop, as a modal box does.
TEST_F(BoxesTest, AMessageRaisedAgainWhileItsBoxIsOpenOpensNoSecondBox) {
    int Shown = 0;
    app::SetErrorBoxHook([&](const QString& Message) {
        ++Shown;
        app::ShowErrorBox(Message); // raised again behind the open box
        Pump(100);
    });
    app::ShowErrorBox("Disk full");
    app::ShowErrorBox("Disk full");
    EXPECT_EQ(Shown, 0); // nothing opens inside the raising handler
    Pump(300);
    EXPECT_EQ(Shown, 1);
    app::ShowErrorBox("Disk full"); // once closed, it may open again
    app::ShowErrorBox("File access denied");
    Pump(300);
    EXPECT_EQ(Shown, 3);
}

TEST_F(BoxesTest, AfterAnUnplugTheSearchBeginsBehindTheOpenBox) {
    sim::Config Config;
    Config.faults.hangupAfter = 12;
    StartLogger(Config);
    int Ticks = 0;
    bool SearchingBehindBox = false;
    bool Open = false;
    app::SetErrorBoxHook([&](const QString& Message) {
        // Gone for good: another test may get the freed terminal number, which the program
        // would take for the adapter plugged back in.
        setenv("QUORVA_COM1", MissingPort, 1);
        Boxes << Message;
        Open = true;
        const int TicksBefore = Ticks;
        SearchingBehindBox = WaitForSearching(4000);
        Pump(1000);
        EXPECT_GE(Ticks - TicksBefore, 6) << "the 250 ms timer stood still behind the box";
        Open = false;
    });
    ShowWindow([&](app::TForm1& F) {
        F.HandlerTrace = [&](const char* Name) {
            if (std::string(Name) == "Tick250")
                ++Ticks;
        };
    });
    ASSERT_TRUE(WaitFor([&] { return !Boxes.isEmpty(); }, 15000));
    ASSERT_TRUE(WaitFor([&] { return !Open; }, 8000));
    EXPECT_TRUE(SearchingBehindBox);
    EXPECT_EQ(Boxes.size(), 1) << Boxes.join('\n').toStdString();
    EXPECT_FALSE(Form->Line->Port().Connected());
}

} // namespace
} // namespace apptest
