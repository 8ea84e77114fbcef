// The port selector's tooltips and the open error's explanation, with the real window.
#include "AppFixture.h"

#include "cport/CPort.h"
#include "line/KestroLine.h"

#include <QComboBox>
#include <QCoreApplication>
#include <cstdlib>
#include <fstream>
#include <unistd.h>

namespace apptest {
namespace {

class PortsTest : public AppTest {
protected:
    void TearDown() override {
        for (int N = 1; N <= 3; ++N)
            setenv(("QUORVA_COM" + std::to_string(N)).c_str(), MissingPort, 1);
        AppTest::TearDown();
    }
    static QString Tip(const app::TForm1& Form, int Item) {
        return Form.ComPortBox->itemData(Item, Qt::ToolTipRole).toString();
    }
};

std::string OwnCommand() {
    std::ifstream In("/proc/self/comm");
    std::string Command;
    std::getline(In, Command);
    return Command;
}

TEST_F(PortsTest, EachComItemSaysWhatIsBehindItAndFollowsPlugging) {
    setenv("QUORVA_COM2", "", 1);
    auto Form = StartOnPty();
    const QString Com1 = QString::fromStdString(Pty->SlavePath()) + " (QUORVA_COM1)";
    EXPECT_EQ(Tip(*Form, 0), Com1);
    EXPECT_EQ(Tip(*Form, 1), "No serial port");
    EXPECT_EQ(Tip(*Form, 2), QString(MissingPort) + " (QUORVA_COM3)");
    // The items keep their texts.
    EXPECT_EQ(Form->ComPortBox->itemText(0), "COM1");
    EXPECT_EQ(Form->ComPortBox->itemText(7), "COM8");

    // Something appears behind COM2 while the program runs, and goes again.
    TPty Second;
    setenv("QUORVA_COM2", Second.SlavePath().c_str(), 1);
    const QString Com2 = QString::fromStdString(Second.SlavePath()) + " (QUORVA_COM2)";
    EXPECT_TRUE(WaitFor([&] { return Tip(*Form, 1) == Com2; }, 3000))
        << Tip(*Form, 1).toStdString();
    setenv("QUORVA_COM2", "", 1);
    EXPECT_TRUE(WaitFor([&] { return Tip(*Form, 1) == "No serial port"; }, 3000));
    EXPECT_EQ(Tip(*Form, 0), Com1);
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

// Fault caught: a device named by QUORVA_COM1 was said to be a COM1 this PC lacks, as if
// plugging in an adapter would help.
TEST_F(PortsTest, AMissingDeviceKeepsTheMessageAndNamesTheDeviceAndItsVariable) {
    auto Form = StartOnMissingPort();
    QCoreApplication::processEvents(); // the box opens once start-up has returned
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_EQ(Boxes[0].toStdString(), "Unable to open com port (win error code: 2)\nThere is no "
                                      "device " +
                                          std::string(MissingPort) +
                                          " on this PC now (QUORVA_COM1 names it).");
}

TEST_F(PortsTest, ABusyDeviceNamesTheProgramThatHoldsIt) {
    TPty Line;
    setenv("QUORVA_COM1", Line.SlavePath().c_str(), 1);
    cport::TComPort Holder;
    Holder.OpenPort();
    auto Form = WithoutDialogs(std::make_unique<app::TForm1>());
    QCoreApplication::processEvents(); // the box opens once start-up has returned
    ASSERT_EQ(Boxes.size(), 1);
    EXPECT_EQ(Boxes[0].toStdString(), "Unable to open com port (win error code: 16)\n" +
                                          Line.SlavePath() + " is in use by " + OwnCommand() +
                                          " (pid " + std::to_string(getpid()) +
                                          "); close that program and choose COM1 again.");
    // Freed, the same device is not grabbed behind the user's back; choosing it opens it.
    Holder.ClosePort();
    Pump(1500);
    EXPECT_FALSE(Form->Line->Port().Connected());
    Form->ComPortBox->setCurrentIndex(0);
    Form->ComPortBoxChange();
    EXPECT_TRUE(Form->Line->Port().Connected());
    EXPECT_EQ(Boxes.size(), 1);
}

} // namespace
} // namespace apptest
