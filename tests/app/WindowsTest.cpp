// The confirmation window's results and keys, and the introduction window's text.
#include "AppFixture.h"

#include "app/HelpKestro.h"
#include "app/LayoutKit.h"
#include "app/Shell.h"
#include "app/YesNo.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWindow>

namespace apptest {
namespace {

// Runs Step inside the window's modal loop and returns the modal result.
int ShowWith(app::TRUSureForm& Form, const std::function<void()>& Step) {
    QTimer::singleShot(0, &Form, Step);
    return Form.ShowModal();
}

TEST(ConfirmWindow, CaptionLabelsAndButtons) {
    app::TRUSureForm Form;
    EXPECT_EQ(Form.windowTitle(), "Confirm");
    const std::pair<QLabel*, const char*> Labels[] = {
        {Form.Label1, "Are You Sure?"},
        {Form.Label2, "This will destroy all data collected by the Kestro."},
        {Form.Label3, "and may take a fewl seconds to complete."},
        {Form.Label4, "During this time the Kestro will not communicate "},
        {Form.Label5, "and all controls will be disabled.."}};
    for (const auto& [Label, Text] : Labels) {
        EXPECT_EQ(Label->text().toStdString(), Text);
        EXPECT_TRUE(app::CaptionFits(Label)) << Text;
        EXPECT_LE(Label->geometry().right(), Form.width()) << Text;
    }
    EXPECT_TRUE(Form.Label1->font().bold());
    EXPECT_EQ(Form.YesButton->text(), "&Yes");
    EXPECT_EQ(Form.NoButton->text(), "&No");
    EXPECT_TRUE(Form.NoButton->isDefault());
    EXPECT_FALSE(Form.YesButton->isDefault());
    // Designed at 120 pixels per inch, shown at the screen's 96.
    EXPECT_EQ(Form.YesButton->geometry(), QRect(app::ScaleFrom120(69), app::ScaleFrom120(137),
                                                app::ScaleFrom120(90), app::ScaleFrom120(30)));
    EXPECT_EQ(Form.NoButton->geometry(), QRect(app::ScaleFrom120(205), app::ScaleFrom120(137),
                                               app::ScaleFrom120(90), app::ScaleFrom120(30)));
    EXPECT_EQ(Form.YesButton->nextInFocusChain(), Form.NoButton);
}

TEST(ConfirmWindow, ResultsOfYesNoAndTheCloseBox) {
    app::TRUSureForm Form;
    EXPECT_EQ(ShowWith(Form, [&] { QTest::mouseClick(Form.YesButton, Qt::LeftButton); }),
              app::mrYes);
    EXPECT_EQ(ShowWith(Form, [&] { QTest::mouseClick(Form.NoButton, Qt::LeftButton); }), app::mrNo);
    EXPECT_EQ(ShowWith(Form, [&] { Form.close(); }), app::mrCancel);
    EXPECT_EQ(app::mrYes, 6);
    EXPECT_EQ(app::mrNo, 7);
    EXPECT_EQ(app::mrCancel, 2);
}

TEST(ConfirmWindow, EscapeDoesNothing) {
    app::TRUSureForm Form;
    bool StillOpen = false;
    const int Result = ShowWith(Form, [&] {
        QTest::keyClick(&Form, Qt::Key_Escape);
        QTest::keyClick(Form.focusWidget() ? Form.focusWidget() : &Form, Qt::Key_Escape);
        StillOpen = Form.isVisible();
        QTest::mouseClick(Form.NoButton, Qt::LeftButton);
    });
    EXPECT_TRUE(StillOpen);
    EXPECT_EQ(Result, app::mrNo);
}

TEST(ConfirmWindow, EnterOnTheFirstOpenAnswersYes) {
    app::TRUSureForm Form;
    QWidget* Focused = nullptr;
    const int Result = ShowWith(Form, [&] {
        Focused = Form.focusWidget();
        QTest::keyClick(Focused ? Focused : &Form, Qt::Key_Return);
    });
    EXPECT_EQ(Focused, Form.YesButton);
    EXPECT_EQ(Result, app::mrYes);
}

TEST(IntroWindow, TextLineByLineWithItsBlanks) {
    struct TLine {
        int Leading;
        const char* Text;
        int Trailing;
    };
    const TLine Lines[] = {
        {1, "In order to use this software to communicate with a 'Corrosion Kestro'", 1},
        {1, "a few simple steps need to be taken.....", 0},
        {0, "1) From below  select the appropriate communications port on your PC", 2},
        {5, "to which you have connected the 'Corrosion Kestro'.", 0},
        {0, "2) Make sure that the 'Kestro' is awake.", 1},
        {4, "If no lights are illuminated then press the \"test\" button until they do.", 0},
        {4, "Once awake the PC will begin to communicate with the attached unit.", 0},
        {4, "The green \"Comms Active\" indicator will illuminate on your PC screen.", 1},
        {0, "3) Once communications have been established the PC may be used to", 0},
        {5, "alter the settings on your Kestro,", 1},
        {5, "start/stop data logging,", 1},
        {5, "retrieve logged data from the Kestro or", 0},
        {5, "view data previously gathered by a Kestro.", 0},
        {0, "", 0},
        {9, "(You may view this page at any time by using 'Help' or the <F1> key)", 0}};
    QStringList Expected;
    for (const TLine& L : Lines)
        Expected << QString(L.Leading, ' ') + L.Text + QString(L.Trailing, ' ');
    app::TIntroForm Form;
    EXPECT_EQ(Form.windowTitle(), "Introduction");
    const QString Shown = Form.Memo1->toPlainText();
    EXPECT_EQ(Shown.split('\n'), Expected);
    EXPECT_EQ(Shown, Expected.join('\n'));
    EXPECT_FALSE(Form.Memo1->isReadOnly());
    EXPECT_EQ(Form.Memo1->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(Form.Button3->text(), "Close");
}

// The frame's top left corner is where the design puts the window; its inner area lies inside.
TEST(Placement, BothSmallWindowsArePlacedByTheirOuterFrame) {
    app::TRUSureForm Confirm;
    app::TIntroForm Intro;
    const std::pair<QWidget*, QPoint> Windows[] = {{&Confirm, {268, 192}}, {&Intro, {297, 284}}};
    for (const auto& [Window, Corner] : Windows) {
        SCOPED_TRACE(Window->windowTitle().toStdString());
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window));
        EXPECT_EQ(Window->frameGeometry().topLeft(), Corner);
        EXPECT_EQ(Window->pos(), Corner);
        Window->hide();
    }
}

TEST(Titles, EveryWindowShowsItsCaptionAloneAndTheProgramKeepsItsName) {
    app::TRUSureForm Confirm;
    app::TIntroForm Intro;
    EXPECT_EQ(Confirm.windowTitle(), "Confirm");
    EXPECT_EQ(Intro.windowTitle(), "Introduction");
    EXPECT_EQ(QCoreApplication::applicationName(), app::ApplicationTitle);
    // The platform appends a display name set of its own to every caption ("Confirm — ...");
    // without one the display name follows the application name.
    const QString Name = QCoreApplication::applicationName();
    QCoreApplication::setApplicationName("probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
    QCoreApplication::setApplicationName(Name);
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), app::ApplicationTitle);
    for (QWidget* Window : {static_cast<QWidget*>(&Confirm), static_cast<QWidget*>(&Intro)}) {
        Window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(Window));
        EXPECT_EQ(Window->windowHandle()->title(), Window->windowTitle());
        Window->hide();
    }
}

using IntroFromMainWindow = AppTest;

TEST_F(IntroFromMainWindow, HelpOpensItAndCloseHidesIt) {
    auto Main = StartOnMissingPort();
    app::TIntroForm Intro(Main.get());
    app::IntroForm = &Intro;
    Main->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Main.get()));
    EXPECT_FALSE(Intro.isVisible());
    Main->Help1->trigger();
    EXPECT_TRUE(Intro.isVisible());
    QTest::mouseClick(Intro.Button3, Qt::LeftButton);
    EXPECT_FALSE(Intro.isVisible());
    Main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(Main.get()));
    QTest::keyClick(Main.get(), Qt::Key_F1);
    EXPECT_TRUE(Intro.isVisible()) << "F1";
    app::IntroForm = nullptr;
}

} // namespace
} // namespace apptest
