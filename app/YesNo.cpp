#include "app/YesNo.h"

#include "app/LayoutKit.h"

#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>

namespace app {

TRUSureForm* RUSureForm = nullptr;

namespace {

QLabel* MakeLine(QWidget* Parent, const char* Name, TBounds B, const QString& Caption) {
    return MakeSizedLabel(Parent, Name, ScaleFrom120(B), Caption);
}

} // namespace

TRUSureForm::TRUSureForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName("RUSureForm");
    setWindowTitle("Confirm");
    setFont(FontOfHeight(WindowFont(), ScaleFrom120(14)));
    // The outer frame is 392 x 226 design pixels; the frame and title bar take about 8 x 31.
    // A top-level window's move() places its frame, as the design's position means.
    move(268, 192);
    resize(ScaleFrom120(392) - 8, ScaleFrom120(226) - 31);
    Label1 = MakeLine(this, "Label1", {128, 10, 120, 20}, "Are You Sure?");
    QFont Bold = FontOfHeight(font(), ScaleFrom120(17));
    Bold.setBold(true);
    Label1->setFont(Bold);
    Label2 = MakeLine(this, "Label2", {53, 39, 283, 16},
                      "This will destroy all data collected by the Kestro.");
    Label3 =
        MakeLine(this, "Label3", {59, 59, 249, 16}, "and may take a fewl seconds to complete.");
    Label4 = MakeLine(this, "Label4", {51, 83, 280, 16},
                      "During this time the Kestro will not communicate ");
    Label5 = MakeLine(this, "Label5", {59, 107, 192, 16}, "and all controls will be disabled..");
    YesButton =
        Place(new QPushButton("&Yes", this), "YesButton", ScaleFrom120(TBounds{69, 137, 90, 30}));
    NoButton =
        Place(new QPushButton("&No", this), "NoButton", ScaleFrom120(TBounds{205, 137, 90, 30}));
    NoButton->setDefault(true);
    setTabOrder(YesButton, NoButton);
    connect(YesButton, &QPushButton::clicked, this, [this] { done(mrYes); });
    connect(NoButton, &QPushButton::clicked, this, [this] { done(mrNo); });
    FitCaptions(this);
    // The substitute font is wider than the design's: widen the window rather than cut a line.
    int Right = width();
    for (QLabel* Label : {Label1, Label2, Label3, Label4, Label5})
        Right = std::max(Right, Label->geometry().right() + 1 + Label->x() / 2);
    resize(Right, height());
}

int TRUSureForm::ShowModal() {
    return exec();
}

void TRUSureForm::keyPressEvent(QKeyEvent* Event) {
    // No cancel button: Escape is swallowed instead of closing the window.
    if (Event->key() == Qt::Key_Escape && Event->modifiers() == Qt::NoModifier) {
        Event->accept();
        return;
    }
    QDialog::keyPressEvent(Event);
}

void TRUSureForm::showEvent(QShowEvent* Event) {
    QDialog::showEvent(Event);
    if (!FShownBefore) {
        FShownBefore = true;
        YesButton->setFocus(Qt::OtherFocusReason);
    }
}

void TRUSureForm::reject() {
    done(mrCancel);
}

} // namespace app
