// Text crosses between the window and the logger byte for byte: every byte from the blank to
// 0xFF reaches the boxes, the logger and the saved file unchanged, and typing is held to what
// the logger can store.
#include "SimFixture.h"

#include "app/LayoutKit.h"
#include "app/Shell.h"
#include "sim/Wire.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <array>
#include <fstream>

namespace apptest {
namespace {

// The 224 bytes 0x20 to 0xFF in fourteen 16-byte texts, the length of every text field.
std::string Chunk(int K) {
    std::string Text;
    for (int I = 0; I < 16; ++I)
        Text += static_cast<char>(0x20 + 16 * (K % 14) + I);
    return Text;
}

QString Latin1(const std::string& Bytes) {
    return QString::fromLatin1(Bytes.data(), static_cast<qsizetype>(Bytes.size()));
}

// Keys that bring characters beyond ASCII, as a keyboard layout or compose key delivers them.
void Type(QWidget* Edit, const QString& Text) {
    for (QChar C : Text) {
        QKeyEvent Press(QEvent::KeyPress, 0, Qt::NoModifier, QString(C));
        QKeyEvent Release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(C));
        QApplication::sendEvent(Edit, &Press);
        QApplication::sendEvent(Edit, &Release);
    }
}

std::string Blanked(std::string Text) {
    Text.resize(16, ' ');
    return Text;
}

TEST(TextConversionTest, EveryByteMapsToOneCharacterAndBackAndFileNamesKeepTheirLetters) {
    std::string All;
    for (int B = 0; B < 256; ++B)
        All += static_cast<char>(B);
    const QString Shown = app::FromStd(All);
    ASSERT_EQ(Shown.size(), 256);
    for (int B = 0; B < 256; ++B)
        EXPECT_EQ(Shown[B].unicode(), B);
    EXPECT_EQ(app::ToStd(Shown), All);
    // A file name is the file system's, not the logger's: letters beyond Latin-1 survive.
    QTemporaryDir Dir;
    const QString Path = Dir.filePath(QString::fromUtf8("Bericht-\u00fc-\u65e5\u672c.txt"));
    std::ofstream(app::ToFileName(Path)) << "x";
    EXPECT_TRUE(QFile::exists(Path));
}

class TextBytesTest : public SimAppTest {
protected:
    std::array<QLineEdit*, 5> Fields() const {
        return {Form->KestroName, Form->SerialNo, Form->Zone1Text, Form->Zone2Text,
                Form->Zone3Text};
    }
    std::array<std::string, 5> Held() const {
        return Runner->Inspect([](const sim::Kestro& K) {
            return std::array<std::string, 5>{K.Name(), K.SerialNumber(), K.Description(1),
                                              K.Description(2), K.Description(3)};
        });
    }
    bool BoxesShow(const std::array<std::string, 5>& Texts) const {
        for (size_t I = 0; I < Texts.size(); ++I)
            if (Fields()[I]->text() != Latin1(Texts[I]))
                return false;
        return true;
    }
    int TrafficLinesStartingWith(const QString& Start) const {
        int Count = 0;
        for (const QString& Line : Form->RxDat->toPlainText().split('\n'))
            Count += Line.startsWith(Start) ? 1 : 0;
        return Count;
    }
};

TEST_F(TextBytesTest, EveryByteFromTheBlankUpIsShownEchoedUnchangedAndSaved) {
    const auto Texts = [](int Cycle) {
        return std::array<std::string, 5>{Chunk(5 * Cycle), Chunk(5 * Cycle + 1),
                                          Chunk(5 * Cycle + 2), Chunk(5 * Cycle + 3),
                                          Chunk(5 * Cycle + 4)};
    };
    sim::Config Config;
    Config.name = Texts(0)[0];
    Config.serial = Texts(0)[1];
    Config.descriptions = {Texts(0)[2], Texts(0)[3], Texts(0)[4]};
    Start(Config);
    for (int Cycle = 0; Cycle < 3; ++Cycle) {
        SCOPED_TRACE(Cycle);
        if (Cycle > 0) {
            // The logger's texts change under the program, through the logger's own commands.
            // Only between two of the program's commands, so the bytes do not mix.
            ASSERT_TRUE(WaitFor(
                [&] {
                    return Runner->Modify([&](sim::Kestro& K) {
                        if (K.HasPartial())
                            return false;
                        const char* Writes[] = {"I03", "I05", "I06", "I07", "I08"};
                        for (size_t I = 0; I < 5; ++I)
                            K.Feed(sim::FrameCommand(Writes[I] + Texts(Cycle)[I]));
                        return true;
                    });
                },
                2000));
        }
        ASSERT_TRUE(WaitFor([&] { return BoxesShow(Texts(Cycle)); }, 12000))
            << Form->KestroName->text().toStdString();
        // The echo of each new text writes the same bytes back: at once, or after the next
        // undisturbed poll cycle when a reply near it may have answered another question (a
        // text holding ">" cuts the logger's framing of its own echo).
        ASSERT_TRUE(WaitFor(
            [&] {
                return TrafficLinesStartingWith("<I03") >= Cycle + 1 &&
                       TrafficLinesStartingWith("<I08") >= Cycle + 1;
            },
            15000));
        Pump(600);
        EXPECT_EQ(Held(), Texts(Cycle));
    }
    // A whole poll cycle later nothing has been written again.
    const int NameWrites = TrafficLinesStartingWith("<I03");
    const int ZoneWrites = TrafficLinesStartingWith("<I08");
    EXPECT_GE(NameWrites, 3);
    Pump(5500);
    EXPECT_EQ(TrafficLinesStartingWith("<I03"), NameWrites);
    EXPECT_EQ(TrafficLinesStartingWith("<I08"), ZoneWrites);
    EXPECT_EQ(Held(), Texts(2));

    QTemporaryDir Dir;
    const QString Path = Dir.filePath("texts.txt");
    Form->SaveNameHook = [&] { return std::optional<std::string>(app::ToFileName(Path)); };
    Form->SaveAsClick();
    QFile File(Path);
    ASSERT_TRUE(File.open(QIODevice::ReadOnly));
    const QList<QByteArray> Lines = File.readAll().split('\n');
    ASSERT_GE(Lines.size(), 8);
    const int HeaderLine[] = {2, 3, 5, 6, 7}; // name, serial, zone 1 to 3
    for (size_t I = 0; I < 5; ++I)
        EXPECT_EQ(Lines[HeaderLine[I]].mid(23).toStdString(), Texts(2)[I] + "\r");
    EXPECT_TRUE(Boxes.isEmpty()) << Boxes.join('\n').toStdString();
}

TEST_F(TextBytesTest, TypedLettersReachTheLoggerAsSingleBytesAndSixteenOfThemFit) {
    Start({});
    ASSERT_TRUE(WaitForReady());
    const auto NameHeld = [&] {
        return Runner->Inspect([](const sim::Kestro& K) { return K.Name(); });
    };
    Form->KestroName->selectAll();
    Type(Form->KestroName, QString::fromUtf8("A\u00e9"));
    EXPECT_TRUE(WaitFor([&] { return NameHeld() == Blanked("A\xE9"); }, 3000)) << NameHeld();
    const std::string Sent = "<I03" + Blanked("A\xE9") + ">>";
    EXPECT_TRUE(Form->RxDat->toPlainText().contains(Latin1(Sent)));
    EXPECT_EQ(Form->RxDat->toPlainText().count(Latin1(Sent)), 1);

    // Sixteen characters are sixteen bytes, also when the last is an accented letter.
    const std::string Full = "Fifteen letters\xE9";
    Form->KestroName->selectAll();
    Type(Form->KestroName, Latin1(Full));
    ASSERT_EQ(Form->KestroName->text(), Latin1(Full));
    EXPECT_TRUE(WaitFor([&] { return NameHeld() == Full; }, 3000)) << NameHeld();
    // The serial number's change goes the same way.
    Form->SerialNo->setText(Latin1("N\xB0 \xC6\xD8\xC5-7"));
    EXPECT_TRUE(WaitFor(
        [&] {
            return Runner->Inspect([](const sim::Kestro& K) { return K.SerialNumber(); }) ==
                   Blanked("N\xB0 \xC6\xD8\xC5-7");
        },
        3000));
}

using TypingTest = AppTest;

TEST_F(TypingTest, CharactersTheLoggerCannotStoreAreRefusedWithAHint) {
    auto Form = StartOnMissingPort();
    Form->show();
    Form->Timer1->stop(); // keeps the boxes unlocked: no logger answers here
    Form->DisableEntries(false);
    for (QLineEdit* Edit : {Form->KestroName, Form->Zone3Text}) {
        SCOPED_TRACE(Edit->objectName().toStdString());
        QToolTip::hideText();
        ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 2000));
        Edit->setFocus();
        Edit->selectAll();
        Type(Edit, QString::fromUtf8("A\u00e9\u20ac\u00fc"));
        EXPECT_EQ(Edit->text(), QString::fromUtf8("A\u00e9\u00fc"));
        EXPECT_TRUE(QToolTip::isVisible());
        EXPECT_EQ(QToolTip::text(), app::TLoggerTextValidator::RefusedHint(QChar(0x20AC)));
        QTest::keyClicks(Edit, "0123456789abcdefgh");
        EXPECT_EQ(Edit->text().size(), 16);
    }
    // A pasted text with such a character is refused whole, with the same hint.
    QToolTip::hideText();
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 2000));
    QGuiApplication::clipboard()->setText(QString::fromUtf8("Keel \u2192 Stern"));
    Form->Zone2Text->setFocus();
    Form->Zone2Text->selectAll();
    QTest::keyClick(Form->Zone2Text, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Form->Zone2Text->text(), "?");
    EXPECT_EQ(QToolTip::text(), app::TLoggerTextValidator::RefusedHint(QChar(0x2192)));
    // A text the program set from the logger keeps its bytes and can still be edited.
    Form->Zone1Text->setText(Latin1("Bow\x85\x9F"));
    Form->Zone1Text->setFocus();
    Form->Zone1Text->end(false);
    QTest::keyClick(Form->Zone1Text, Qt::Key_Backspace);
    EXPECT_EQ(Form->Zone1Text->text(), Latin1("Bow\x85"));
    QTest::keyClicks(Form->Zone1Text, "!");
    EXPECT_EQ(Form->Zone1Text->text(), Latin1("Bow\x85!"));
    // A locked box takes nothing and gives no hint.
    QToolTip::hideText();
    ASSERT_TRUE(WaitFor([] { return !QToolTip::isVisible(); }, 2000));
    Form->DisableEntries(true);
    Type(Form->KestroName, QString::fromUtf8("\u20ac"));
    EXPECT_FALSE(QToolTip::isVisible());
}

} // namespace
} // namespace apptest
