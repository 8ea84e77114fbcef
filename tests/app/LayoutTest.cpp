// The main window's controls as data: kind, container, bounds, text, hint and flags.
#include "AppFixture.h"

#include "app/LayoutKit.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <cmath>

namespace apptest {
namespace {

struct TControlRow {
    const char* Name;
    const char* Kind;
    const char* Container;
    // -1: a label that sizes itself to its caption in the substitute font (growing to the
    // left when right-aligned), at least as large as the design's bounds.
    int Left, Top, Width, Height;
    const char* Text; // items of a list joined by "|"
    const char* Hint;
    const char* Flags; // any of: disabled readonly hidden checked max=N
    // In the factory build, where they differ: the factory-only controls stay as laid out.
    const char* FactoryFlags = nullptr;
};

// The state right after a full start-up.
const TControlRow Controls[] = {
    {"Edit1", "QLineEdit", "Client", 163, 0, 65, 21, "", "", "disabled"},
    {"Edit2", "QLineEdit", "Client", 241, 0, 65, 21, "", "", "disabled"},
    {"Edit3", "QLineEdit", "Client", 319, 0, 65, 21, "", "", "disabled"},
    {"CalL1", "QPushButton", "Client", 163, 20, 33, 13, "CalL1", "", "disabled hidden", ""},
    {"CalH1", "QPushButton", "Client", 195, 20, 33, 13, "CalH1", "", "disabled hidden", ""},
    {"CalL2", "QPushButton", "Client", 241, 20, 33, 13, "CalL2", "", "disabled hidden", ""},
    {"CalH2", "QPushButton", "Client", 273, 20, 33, 13, "CalH2", "", "disabled hidden", ""},
    {"CalL3", "QPushButton", "Client", 319, 20, 33, 13, "CalL3", "", "disabled hidden", ""},
    {"CalH3", "QPushButton", "Client", 351, 20, 33, 13, "CalH3", "", "disabled hidden", ""},
    {"CommsActive1", "QRadioButton", "Client", 400, 0, 113, 17, "CommsActive1", "", ""},
    {"StatusLabel", "QLabel", "Client", -1, 312, -1, -1, "Status", "", ""},
    {"Status", "QLineEdit", "Client", 143, 312, 157, 21, "  Looking for a Kestro", "", "readonly"},
    {"ComPortBox", "QComboBox", "Client", 388, 314, 81, 21,
     "COM1|COM2|COM3|COM4|COM5|COM6|COM7|COM8", "Selects the Com Port on the PC.", ""},
    {"DataWin", "QPlainTextEdit", "Client", 28, 336, 425, 40, "Memo2", "", "hidden", ""},
    {"FactoryLab", "QLabel", "Client", 80, 384, 329, -1, "Factory Version DO NOT USE!", "",
     "hidden", ""},
    {"RxDat", "QPlainTextEdit", "Client", 117, 228, 209, 13, "R\nx\nD\na\nt", "", "hidden"},
    {"Data", "QTabWidget", "Client", 13, 20, 456, 286, "Settings|Log Data", "", ""},
    {"GroupBox6", "QGroupBox", "TabSheet2", 29, 7, 349, 189, "Kestro Settings", "", ""},
    {"Label1", "QLabel", "GroupBox6", 33, 14, -1, -1, "Material", "", ""},
    {"MaterialBox", "QComboBox", "GroupBox6", 8, 27, 98, 21, "?|Aluminium|Steel|Bronze",
     "Type of material being monitored.", ""},
    {"Label7", "QLabel", "GroupBox6", 34, 53, -1, -1, "Zones", "", ""},
    {"ZonesBox", "QComboBox", "TabSheet2", 39, 73, 98, 21, "?|1|2|3",
     "Number of zones to be monitored", ""},
    {"Label5", "QLabel", "GroupBox6", 15, 91, -1, -1, "Reference Type", "", ""},
    {"RefType", "QComboBox", "TabSheet2", 39, 112, 98, 21, "?|Zinc|Ag AgCl",
     "Type of reference electrode being used.", ""},
    {"Label2", "QLabel", "GroupBox6", 14, 131, -1, -1, "Log Interval", "", ""},
    {"LogIntBox", "QComboBox", "GroupBox6", 8, 144, 98, 21,
     "?|Off|1 Minute|2 Minutes|5 Minutes|15 Minutes|30 Minutes|1 Hour|2 Hours|6 Hours|"
     "12 Hours|24 Hours",
     "Time between storage of logged data.", ""},
    {"LogTime", "QLineEdit", "GroupBox6", 13, 163, 72, 21, "?", "Total time to fill log capacity",
     ""},
    {"Label9", "QLabel", "GroupBox6", 91, 169, -1, -1, "Total Log Time", "", ""},
    {"Label6", "QLabel", "GroupBox6", 145, 13, -1, -1, "Kestro Time", "", ""},
    {"KestroTime", "QLineEdit", "GroupBox6", 124, 26, 98, 21, "?",
     "Current time read from the Kestro", "readonly disabled"},
    {"SetDigTime", "QPushButton", "TabSheet2", 163, 59, 72, 20, "Set Time",
     "Stores the current PC time in the Kestro.", ""},
    {"CyclicLogCheckBox", "QCheckBox", "GroupBox6", 122, 145, 97, 17, "Cyclic Logging",
     "If checked then new data will overwrite the oldest data when the log is full, otherwise "
     "logging will cease.",
     "checked"},
    {"KestroLabel", "QLabel", "GroupBox6", 257, 13, -1, -1, "Kestro Name", "", ""},
    {"KestroName", "QLineEdit", "GroupBox6", 241, 26, 98, 21, "?", "Name by which Kestro is known",
     "max=16"},
    {"Label10", "QLabel", "GroupBox6", 244, 52, -1, -1, "Zone1 Description", "", ""},
    {"Zone1Text", "QLineEdit", "GroupBox6", 241, 65, 98, 21, "?",
     "Text describing the area this zone is monitoring", "max=16"},
    {"Label13", "QLabel", "GroupBox6", 244, 91, -1, -1, "Zone2 Description", "", ""},
    {"Zone2Text", "QLineEdit", "GroupBox6", 241, 104, 98, 21, "?",
     "Text describing the area this zone is monitoring", "max=16"},
    {"Label14", "QLabel", "GroupBox6", 244, 130, -1, -1, "Zone3 Description", "", ""},
    {"Zone3Text", "QLineEdit", "GroupBox6", 241, 143, 98, 21, "?",
     "Text describing the area this zone is monitoring", "max=16"},
    {"SerialLabel", "QLabel", "TabSheet2", 36, 200, -1, -1, "Serial No", "", ""},
    {"SerialNo", "QLineEdit", "TabSheet2", 33, 215, 78, 21, "?", "Serial number of this Kestro",
     "max=16 readonly disabled", "max=16"},
    {"Label8", "QLabel", "TabSheet2", 120, 200, -1, -1, "Software version", "", ""},
    {"SoftwareVersion", "QLineEdit", "TabSheet2", 117, 215, 85, 21, "?",
     "Version of software fitted to the Kestro.", "readonly disabled max=16"},
    {"Label12", "QLabel", "TabSheet2", 211, 202, -1, -1, "Battery Volts", "", ""},
    {"BatteryVolts", "QLineEdit", "TabSheet2", 208, 215, 85, 21, "?",
     "Current Kestro battery voltage ", "readonly disabled max=3"},
    {"Label11", "QLabel", "TabSheet2", 315, 202, -1, -1, "PCTime", "", ""},
    {"PcTime", "QLineEdit", "TabSheet2", 312, 215, 92, 21, "?", "Time now - read from the PC.",
     "readonly disabled"},
    {"LogNo", "QLabel", "TabSheet4", 33, 13, -1, -1, " #", "", ""},
    {"Label3", "QLabel", "TabSheet4", 54, 13, -1, -1, "Time Stamp", "", ""},
    {"Label4", "QLabel", "TabSheet4", 114, 13, -1, -1, "  Min1  Max1  Min2  Max2  Min3  Max3 ", "",
     ""},
    {"LogDataMemo", "QPlainTextEdit", "TabSheet4", 33, 26, 286, 176, "", "", "readonly"},
    {"logNum", "QLabel", "TabSheet4", 32, 208, -1, -1, "Logs Recorded", "", ""},
    {"LogNumber", "QLineEdit", "TabSheet4", 33, 228, 65, 21, "?",
     "Number of logs recorded by the Kestro", "readonly"},
    {"GroupBox2", "QGroupBox", "TabSheet4", 324, 20, 119, 182, "Control", "", ""},
    {"ClrScreenButton", "QPushButton", "GroupBox2", 7, 13, 78, 27, "Clear Screen",
     "Clears only the data displayed on this page", ""},
    {"ReadLogsButton", "QPushButton", "GroupBox2", 7, 44, 99, 27, "Get Logs - Kestro  ",
     "Uploads ALL logged data from the Kestro", ""},
    {"SaveLogs", "QPushButton", "GroupBox2", 7, 78, 78, 27, "Save to File",
     "Saves the displayed logged data to a file", ""},
    {"ClearKestro", "QPushButton", "GroupBox2", 7, 150, 104, 26, "Clear Kestro Data",
     "Delete ALL logged data within the Kestro!", ""},
    {"Disconnect", "QPushButton", "GroupBox6", 131, 72, 78, 26, "Disconnect", "", "hidden"},
    {"Connect", "QPushButton", "GroupBox6", 131, 98, 78, 26, "Connect", "", "hidden"},
    {"RdLogHeader", "QPushButton", "TabSheet4", 106, 228, 90, 25, "Read Log Count", "", "hidden"},
    {"GetLog1", "QPushButton", "TabSheet4", 236, 228, 64, 25, "Read Log 1", "", "hidden"},
    {"Button1", "QPushButton", "TabSheet4", 301, 228, 64, 25, "Read Log 2", "", "hidden"},
    {"Button2", "QPushButton", "TabSheet4", 366, 228, 64, 25, "Read Log 3", "", "hidden"},
    {"SenTime", "QLineEdit", "TabSheet2", 189, 241, 91, 21, "SenTime", "", "hidden"},
};

QString TextOf(QWidget* W) {
    if (auto* L = qobject_cast<QLabel*>(W))
        return L->text();
    if (auto* E = qobject_cast<QLineEdit*>(W))
        return E->text();
    if (auto* B = qobject_cast<QAbstractButton*>(W))
        return B->text();
    if (auto* M = qobject_cast<QPlainTextEdit*>(W))
        return M->toPlainText();
    if (auto* G = qobject_cast<QGroupBox*>(W))
        return G->title();
    QStringList Items;
    if (auto* C = qobject_cast<QComboBox*>(W))
        for (int I = 0; I < C->count(); ++I)
            Items << C->itemText(I);
    if (auto* T = qobject_cast<QTabWidget*>(W))
        for (int I = 0; I < T->count(); ++I)
            Items << T->tabText(I);
    return Items.join('|');
}

bool ReadOnlyOf(QWidget* W) {
    if (auto* E = qobject_cast<QLineEdit*>(W))
        return E->isReadOnly();
    if (auto* M = qobject_cast<QPlainTextEdit*>(W))
        return M->isReadOnly();
    return false;
}

int MaxTypedOf(QWidget* W) {
    auto* E = qobject_cast<QLineEdit*>(W);
    auto* V = E ? dynamic_cast<const app::TLoggerTextValidator*>(E->validator()) : nullptr;
    return V ? V->MaxLength() : 0;
}

bool Has(const QStringList& Flags, const char* Flag) {
    return Flags.contains(Flag);
}

int MaxFlag(const QStringList& Flags) {
    for (const QString& F : Flags)
        if (F.startsWith("max="))
            return F.mid(4).toInt();
    return 0;
}

void CheckRow(app::TForm1& Form, const TControlRow& Row) {
    SCOPED_TRACE(Row.Name);
    auto* W = Form.findChild<QWidget*>(Row.Name);
    ASSERT_NE(W, nullptr);
    EXPECT_STREQ(W->metaObject()->className(), Row.Kind);
    ASSERT_NE(W->parentWidget(), nullptr);
    EXPECT_EQ(W->parentWidget()->objectName().toStdString(), Row.Container);
    if (Row.Left >= 0) {
        EXPECT_EQ(W->x(), Row.Left);
    }
    EXPECT_EQ(W->y(), Row.Top);
    if (Row.Width >= 0) {
        EXPECT_EQ(W->width(), Row.Width);
    }
    if (Row.Height >= 0) {
        EXPECT_EQ(W->height(), Row.Height);
    }
    EXPECT_EQ(TextOf(W).toStdString(), Row.Text);
    EXPECT_EQ(W->toolTip().toStdString(), Row.Hint);
    const char* Expected = app::FactoryBuild && Row.FactoryFlags ? Row.FactoryFlags : Row.Flags;
    const QStringList Flags = QString(Expected).split(' ', Qt::SkipEmptyParts);
    EXPECT_EQ(!W->isEnabled(), Has(Flags, "disabled"));
    EXPECT_EQ(ReadOnlyOf(W), Has(Flags, "readonly"));
    EXPECT_EQ(W->isHidden(), Has(Flags, "hidden"));
    EXPECT_EQ(MaxTypedOf(W), MaxFlag(Flags));
    if (auto* B = qobject_cast<QAbstractButton*>(W)) {
        EXPECT_EQ(B->isChecked(), Has(Flags, "checked"));
    }
}

using LayoutTest = AppTest;

TEST_F(LayoutTest, EveryControlHasItsKindPlaceTextHintAndFlags) {
    auto Form = StartOnPty();
    for (const TControlRow& Row : Controls)
        CheckRow(*Form, Row);
    // Nothing on the window carries a hint the table does not list.
    for (QWidget* W : Form->findChildren<QWidget*>()) {
        if (!W->toolTip().isEmpty() && W->objectName() != "TabSheet4") {
            EXPECT_TRUE(
                std::any_of(std::begin(Controls), std::end(Controls),
                            [&](const TControlRow& R) { return W->objectName() == R.Name; }))
                << W->objectName().toStdString();
        }
    }
}

TEST_F(LayoutTest, WindowPagesMenusAndTimers) {
    auto Form = StartOnMissingPort();
    EXPECT_EQ(Form->windowTitle(), "Quorva V2.11 - Talvenor Ltd (www.talvenor.example)");
    EXPECT_EQ(QApplication::applicationDisplayName(),
              "Quorva Kestro Access Software from Talvenor Ltd");
    EXPECT_EQ(QCoreApplication::applicationName(), QApplication::applicationDisplayName());
    EXPECT_FALSE(Form->windowIcon().isNull());
    EXPECT_FALSE(Form->windowIcon().pixmap(32, 32).isNull()) << "the SVG icon does not render";
    EXPECT_EQ(Form->pos(), QPoint(231, 139));
    EXPECT_EQ(Form->Data->currentWidget(), Form->TabSheet2);
    EXPECT_EQ(Form->TabSheet4->toolTip(), "Logged Data");

    // The log viewer's "&View" sits between the design's two menus.
    ASSERT_EQ(Form->MainMenu1->actions().size(), 3);
    EXPECT_EQ(Form->MainMenu1->actions()[0]->text(), "&File");
    EXPECT_EQ(Form->MainMenu1->actions()[1]->text(), "&View");
    EXPECT_EQ(Form->MainMenu1->actions()[2], Form->Help1);
    QStringList ViewItems;
    for (QAction* A : Form->View1->actions())
        ViewItems << A->text();
    EXPECT_EQ(ViewItems, QStringList({"&Log Chart", "&Open Saved Log...", "Logger &History..."}));
    QStringList FileItems;
    for (QAction* A : Form->File1->actions())
        FileItems << A->text();
    EXPECT_EQ(FileItems, QStringList({"&New", "&Save Logs", "E&xit"}));
    EXPECT_EQ(Form->Help1->text(), "&Help(F1)");
    EXPECT_EQ(Form->Help1->shortcut(), QKeySequence(Qt::Key_F1));
    ASSERT_EQ(Form->PopupMenu1->actions().size(), 2);
    EXPECT_EQ(Form->AreYouSure1->text(), "Continue?");
    EXPECT_TRUE(Form->AreYouSure1->isCheckable());
    ASSERT_NE(Form->AreYouSure1->actionGroup(), nullptr);
    EXPECT_TRUE(Form->AreYouSure1->actionGroup()->isExclusive());
    EXPECT_EQ(Form->YN1->text(), "Abort!");
    // Neither item does anything, and "Continue?" keeps no mark once chosen.
    Form->AreYouSure1->trigger();
    EXPECT_FALSE(Form->AreYouSure1->isChecked());
    Form->YN1->trigger();
    EXPECT_FALSE(Form->AreYouSure1->isChecked());
    EXPECT_EQ(Form->ClearKestro->contextMenuPolicy(), Qt::CustomContextMenu);
    EXPECT_EQ(Form->ClearKestro->cursor().shape(), Qt::CrossCursor);

    const std::pair<QTimer*, int> Timers[] = {
        {Form->Timer1, 250}, {Form->Timer2, 80}, {Form->Timer3, 1000}};
    for (const auto& [Timer, Interval] : Timers) {
        EXPECT_EQ(Timer->interval(), Interval);
        EXPECT_TRUE(Timer->isActive());
    }
    EXPECT_EQ(Form->MaterialBox->maxVisibleItems(), 3);
    EXPECT_EQ(Form->LogIntBox->maxVisibleItems(), 10);
    EXPECT_TRUE(Form->ComPortBox->isEditable());
    EXPECT_FALSE(Form->MaterialBox->isEditable());
}

// Every character of Font takes the same room: letters, digits, signs and the blank.
bool OneAdvance(const QFont& Font) {
    const QFontMetricsF Metrics(Font);
    const qreal Advance = Metrics.horizontalAdvance('M');
    for (QChar C : QStringLiteral("il1W0.:/- m#"))
        if (Metrics.horizontalAdvance(C) != Advance)
            return false;
    return std::abs(Metrics.horizontalAdvance("12 14/08/26 05:20 -120") - 22 * Advance) < 0.5;
}

int PixelsOf(const QWidget* W) {
    return QFontInfo(W->font()).pixelSize();
}

TEST_F(LayoutTest, FontsAndColours) {
    auto Form = StartOnMissingPort();
    // The design's 11 pixels, or a slightly smaller size for the whole window.
    const int Window = PixelsOf(Form.get());
    EXPECT_LE(Window, 11);
    EXPECT_GE(Window, 9);
    struct TFontRow {
        QWidget* Control;
        int Pixels;
        bool Styled; // bold, italic and underlined
    };
    const TFontRow Fonts[] = {{Form->StatusLabel, 15, false}, {Form->Status, 12, false},
                              {Form->FactoryLab, 24, false},  {Form->Label9, 12, false},
                              {Form->GroupBox2, 12, false},   {Form->SaveLogs, 12, false},
                              {Form->ClearKestro, 12, true},  {Form->LogDataMemo, 9, false}};
    for (const TFontRow& Row : Fonts) {
        SCOPED_TRACE(Row.Control->objectName().toStdString());
        // A caption too wide for its bounds is shown in a smaller font, never clipped.
        EXPECT_LE(PixelsOf(Row.Control), Row.Pixels);
        EXPECT_GE(PixelsOf(Row.Control), Row.Pixels * 2 / 3);
        EXPECT_EQ(Row.Control->font().bold(), Row.Styled);
        EXPECT_EQ(Row.Control->font().italic(), Row.Styled);
        EXPECT_EQ(Row.Control->font().underline(), Row.Styled);
    }
    // One size per group: the "Control" box and its buttons, the calibration buttons, and
    // every other control at the window's size.
    const QList<QWidget*> Control = {Form->GroupBox2, Form->ClrScreenButton, Form->ReadLogsButton,
                                     Form->SaveLogs, Form->ClearKestro};
    const QList<QWidget*> Calibration = {Form->CalL1, Form->CalH1, Form->CalL2,
                                         Form->CalH2, Form->CalL3, Form->CalH3};
    for (const auto& Group : {Control, Calibration})
        for (QWidget* W : Group)
            EXPECT_EQ(PixelsOf(W), PixelsOf(Group.first())) << W->objectName().toStdString();
    QList<QWidget*> OwnSize = Control + Calibration;
    for (const TFontRow& Row : Fonts)
        OwnSize << Row.Control;
    for (QWidget* W : Form->findChildren<QWidget*>()) {
        const bool Own = std::any_of(OwnSize.begin(), OwnSize.end(),
                                     [&](QWidget* O) { return O == W || O->isAncestorOf(W); });
        // Menus take the desktop's menu font.
        if (!Own && !W->objectName().isEmpty() && !qobject_cast<QMenu*>(W)) {
            EXPECT_EQ(PixelsOf(W), Window) << W->objectName().toStdString();
        }
    }
    // The log memo's columns line up only if every character really has one width.
    EXPECT_TRUE(OneAdvance(Form->LogDataMemo->font()))
        << QFontInfo(Form->LogDataMemo->font()).family().toStdString();
    EXPECT_FALSE(OneAdvance(Form->font())) << "the check itself must be able to fail";
    EXPECT_EQ(Form->FactoryLab->palette().color(QPalette::WindowText), QColor(255, 0, 0));
    EXPECT_EQ(Form->Label9->palette().color(QPalette::WindowText), QColor(128, 128, 128));
    EXPECT_TRUE(Form->FactoryLab->wordWrap());
    EXPECT_TRUE(Form->StatusLabel->alignment() & Qt::AlignRight);
    for (QPlainTextEdit* Memo : {Form->LogDataMemo, Form->DataWin, Form->RxDat}) {
        EXPECT_EQ(Memo->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        EXPECT_EQ(Memo->lineWrapMode(), QPlainTextEdit::WidgetWidth);
    }
}

TEST_F(LayoutTest, NoCaptionIsClippedAndTheRightAlignedLabelKeepsItsRightEdge) {
    auto Form = StartOnMissingPort();
    for (QWidget* W : Form->findChildren<QWidget*>())
        EXPECT_TRUE(app::CaptionFits(W)) << W->objectName().toStdString();
    EXPECT_EQ(Form->StatusLabel->geometry().right(), 104 + 37 - 1);
    EXPECT_GE(Form->StatusLabel->width(), 37);
    EXPECT_GE(Form->Label4->width(), 186);
    EXPECT_EQ(Form->StatusLabel->font().pixelSize(), 15);
}

// Where a one-line label's caption is drawn: blanks at either end take room but show nothing.
QRect Ink(const QLabel* Label) {
    const QFontMetrics Metrics(Label->font());
    const QString Text = Label->text();
    const int Shown = Metrics.horizontalAdvance(Text.trimmed());
    qsizetype Blanks = 0;
    while (Blanks < Text.size() && Text[Blanks] == ' ')
        ++Blanks;
    const QRect G = Label->geometry();
    const int Left = (Label->alignment() & Qt::AlignRight)
                         ? G.right() + 1 - Metrics.horizontalAdvance(Text)
                         : G.left() + Metrics.horizontalAdvance(Text.left(Blanks));
    const int Height = Label->wordWrap() ? G.height() : Metrics.height();
    return {Left, G.top(), Shown, Height};
}

// The first row, from the top, where the group box's drawn frame crosses column X.
int FrameTop(QGroupBox* Box, int X) {
    const QImage Image = Box->grab().toImage();
    const QRgb Above = Image.pixel(X, 0);
    for (int Y = 1; Y < Image.height(); ++Y)
        if (Image.pixel(X, Y) != Above)
            return Y;
    return -1;
}

TEST_F(LayoutTest, NoCaptionOverlapsANeighbourOrAFrameLine) {
    auto Form = StartOnMissingPort();
    Form->show();
    for (QLabel* Label : Form->findChildren<QLabel*>()) {
        if (Label->isHidden() && Label != Form->FactoryLab)
            continue;
        SCOPED_TRACE(Label->objectName().toStdString());
        QWidget* Container = Label->parentWidget();
        EXPECT_TRUE(Container->rect().contains(Label->geometry()));
        for (QWidget* Other : Container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (Other == Label || Other->isHidden() || qobject_cast<QGroupBox*>(Other))
                continue;
            auto* Neighbour = qobject_cast<QLabel*>(Other);
            const QRect Theirs = Neighbour ? Ink(Neighbour) : Other->geometry();
            // Two pixels of air on either side: touching captions read as one.
            EXPECT_FALSE(Ink(Label).adjusted(-2, 0, 2, 0).intersects(Theirs))
                << Other->objectName().toStdString();
        }
    }
    EXPECT_LE(Form->Label4->geometry().right(), Form->LogDataMemo->geometry().right());
    // Each group's caption sits on its frame line, and the line passes above every control.
    for (QGroupBox* Box : {Form->GroupBox6, Form->GroupBox2}) {
        SCOPED_TRACE(Box->objectName().toStdString());
        Form->Data->setCurrentWidget(Box->parentWidget());
        const int Line = FrameTop(Box, 3);
        const int Caption = Box->fontMetrics().height();
        EXPECT_GT(Line, 0);
        EXPECT_LT(Line, Caption);
        for (QWidget* Child : Box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!Child->isHidden()) {
                EXPECT_GT(Child->y(), Line) << Child->objectName().toStdString();
            }
    }
    // The factory notice stays on one line inside the window.
    EXPECT_LE(Form->FactoryLab->fontMetrics().horizontalAdvance(Form->FactoryLab->text()),
              Form->FactoryLab->width());
    EXPECT_LE(Form->FactoryLab->geometry().bottom(), Form->Client->height());
    EXPECT_GE(Form->FactoryLab->height(), Form->FactoryLab->fontMetrics().height());
}

TEST_F(LayoutTest, DroppedListsShowTheDesignsRows) {
    auto Form = StartOnMissingPort();
    Form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(Form.get()));
    const std::pair<QComboBox*, int> Lists[] = {{Form->MaterialBox, 3}, {Form->LogIntBox, 10}};
    for (const auto& [Box, Rows] : Lists) {
        SCOPED_TRACE(Box->objectName().toStdString());
        Box->showPopup();
        QAbstractItemView* View = Box->view();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(View->window()));
        const int Row = View->sizeHintForRow(0);
        ASSERT_GT(Row, 0);
        EXPECT_EQ(View->viewport()->height() / Row, Rows);
        Box->hidePopup();
    }
}

TEST_F(LayoutTest, TabOrderFollowsEachContainersPlaces) {
    auto Form = StartOnMissingPort();
    const QStringList Expected = {"ComPortBox",      "RxDat",           "Data",
                                  "MaterialBox",     "LogIntBox",       "CyclicLogCheckBox",
                                  "KestroTime",      "Zone1Text",       "Zone2Text",
                                  "Zone3Text",       "KestroName",      "LogTime",
                                  "SerialNo",        "ZonesBox",        "PcTime",
                                  "RefType",         "SoftwareVersion", "SetDigTime",
                                  "BatteryVolts",    "ReadLogsButton",  "ClearKestro",
                                  "ClrScreenButton", "SaveLogs",        "LogDataMemo",
                                  "LogNumber",       "Status",          "CalL1",
                                  "CalH1",           "CalL2",           "CalH2",
                                  "CalH3",           "CalL3",           "Edit1",
                                  "Edit2",           "Edit3",           "DataWin",
                                  "CommsActive1"};
    QStringList Chain;
    QWidget* W = Form->ComPortBox;
    do {
        // A compound control takes focus through its proxy (the page control's tab bar).
        QString Name = W->objectName();
        if (W->parentWidget() && W->parentWidget()->focusProxy() == W)
            Name = W->parentWidget()->objectName();
        if (Expected.contains(Name) && !Chain.contains(Name))
            Chain << Name;
        W = W->nextInFocusChain();
    } while (W != Form->ComPortBox && Chain.size() < Expected.size());
    EXPECT_EQ(Chain, Expected);
}

} // namespace
} // namespace apptest
