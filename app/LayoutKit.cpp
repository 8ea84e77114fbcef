#include "app/LayoutKit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

qsizetype UntypableCount(const QString& Text) {
    return std::count_if(Text.begin(), Text.end(), [](QChar C) { return !TypableForLogger(C); });
}

} // namespace

bool TypableForLogger(QChar C) {
    const char16_t U = C.unicode();
    return (U >= 0x20 && U < 0x7F) || (U >= 0xA0 && U <= 0xFF);
}

TLoggerTextValidator::TLoggerTextValidator(QLineEdit* Edit, int MaxLength)
    : QValidator(Edit), FEdit(Edit), FMaxLength(MaxLength), FAccepted(Edit->text()) {
    // The edit already holds the candidate text while validating, so remember the last one.
    connect(Edit, &QLineEdit::textChanged, this, [this](const QString& Text) { FAccepted = Text; });
    Edit->installEventFilter(this);
}

QValidator::State TLoggerTextValidator::validate(QString& Input, int&) const {
    if (Input.size() > FMaxLength && Input.size() > FAccepted.size())
        return Invalid;
    // A byte the program set from the logger may stay; the user adds only storable ones.
    if (UntypableCount(Input) > UntypableCount(FAccepted))
        return Invalid;
    return Acceptable;
}

QString TLoggerTextValidator::RefusedHint(QChar Refused) {
    return QStringLiteral("The Kestro cannot store \"%1\": only Western European letters, "
                          "digits and signs can be typed here.")
        .arg(Refused);
}

// The validator refuses silently; the key that brought the character is where the user looks.
bool TLoggerTextValidator::eventFilter(QObject*, QEvent* Event) {
    if (Event->type() == QEvent::KeyPress)
        ShowRefused(static_cast<QKeyEvent*>(Event)->text());
    else if (Event->type() == QEvent::InputMethod)
        ShowRefused(static_cast<QInputMethodEvent*>(Event)->commitString());
    return false;
}

void TLoggerTextValidator::ShowRefused(const QString& Typed) const {
    if (FEdit->isReadOnly() || !FEdit->isEnabled())
        return;
    for (QChar C : Typed) {
        if (C.isPrint() && !TypableForLogger(C)) {
            QApplication::beep();
            QToolTip::showText(FEdit->mapToGlobal(QPoint(0, FEdit->height())), RefusedHint(C),
                               FEdit);
            return;
        }
    }
}

int ScaleFrom120(int DesignPixels) {
    const QScreen* Screen = QGuiApplication::primaryScreen();
    const double Dpi = Screen ? Screen->logicalDotsPerInch() : 96.0;
    return static_cast<int>(std::lround(DesignPixels * Dpi / 120.0));
}

TBounds ScaleFrom120(TBounds Design) {
    return {ScaleFrom120(Design.Left), ScaleFrom120(Design.Top), ScaleFrom120(Design.Width),
            ScaleFrom120(Design.Height)};
}

QFont WindowFont() {
    QFont Font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    Font.setPointSize(8);
    return Font;
}

QFont FontOfHeight(const QFont& Base, int Pixels) {
    QFont Font = Base;
    Font.setPixelSize(Pixels);
    return Font;
}

QFont FixedFontOfHeight(int Pixels) {
    return FontOfHeight(QFontDatabase::systemFont(QFontDatabase::FixedFont), Pixels);
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, int Left, int Top, const QString& Caption) {
    auto* Label = new QLabel(Caption, Parent);
    Label->setObjectName(QString::fromLatin1(Name));
    Label->move(Left, Top);
    Label->adjustSize();
    return Label;
}

QLabel* MakeSizedLabel(QWidget* Parent, const char* Name, TBounds B, const QString& Caption) {
    return Place(new QLabel(Caption, Parent), Name, B);
}

QLineEdit* MakeEdit(QWidget* Parent, const char* Name, TBounds B, const QString& Text,
                    const QString& Hint) {
    auto* Edit = Place(new QLineEdit(Text, Parent), Name, B);
    Edit->setToolTip(Hint);
    return Edit;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, TBounds B, const QString& Caption,
                        const QString& Hint) {
    auto* Button = Place(new QPushButton(Caption, Parent), Name, B);
    Button->setToolTip(Hint);
    return Button;
}

QComboBox* MakeList(QWidget* Parent, const char* Name, TBounds B, const QStringList& Items,
                    const QString& Hint, bool Editable) {
    auto* Box = Place(new QComboBox(Parent), Name, B);
    Box->setEditable(Editable);
    if (Editable)
        Box->setInsertPolicy(QComboBox::NoInsert);
    Box->addItems(Items);
    Box->setCurrentIndex(-1);
    Box->setToolTip(Hint);
    return Box;
}

QPlainTextEdit* MakeMemo(QWidget* Parent, const char* Name, TBounds B, const QString& Text) {
    auto* Memo = Place(new QPlainTextEdit(Text, Parent), Name, B);
    Memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    return Memo;
}

void LimitTyping(QLineEdit* Edit, int MaxLength) {
    Edit->setValidator(new TLoggerTextValidator(Edit, MaxLength));
}

void FitLabel(QLabel* Label) {
    const QSize Need = Label->sizeHint();
    const QRect Old = Label->geometry();
    const int Width = std::max(Old.width(), Need.width());
    const int Left = (Label->alignment() & Qt::AlignRight) ? Old.right() + 1 - Width : Old.left();
    Label->setGeometry(Left, Old.top(), Width, std::max(Old.height(), Need.height()));
}

bool CaptionFits(const QWidget* Control) {
    if (auto* Label = qobject_cast<const QLabel*>(Control))
        return Label->sizeHint().width() <= Label->width() &&
               Label->sizeHint().height() <= Label->height();
    auto* Button = qobject_cast<const QAbstractButton*>(Control);
    if (!Button || Button->text().isEmpty())
        return true;
    if (!qobject_cast<const QPushButton*>(Button))
        return Button->sizeHint().width() <= Button->width();
    // The push button's frame and margins take about four pixels on each side.
    const QSize Text = Button->fontMetrics().size(Qt::TextShowMnemonic, Button->text());
    return Text.width() + 8 <= Button->width() && Text.height() <= Button->height();
}

void FitCaption(QWidget* Control) {
    QFont Font = Control->font();
    int Pixels = QFontInfo(Font).pixelSize();
    while (!CaptionFits(Control) && Pixels > 6) {
        Font.setPixelSize(--Pixels);
        Control->setFont(Font);
    }
}

void FitCaptions(QWidget* Window) {
    for (QLabel* Label : Window->findChildren<QLabel*>())
        FitLabel(Label);
    for (QAbstractButton* Button : Window->findChildren<QAbstractButton*>())
        FitCaption(Button);
}

void SetTextColour(QWidget* Widget, const QColor& Colour) {
    QPalette Palette = Widget->palette();
    Palette.setColor(QPalette::WindowText, Colour);
    Palette.setColor(QPalette::Text, Colour);
    Widget->setPalette(Palette);
}

} // namespace app
