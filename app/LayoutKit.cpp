#include "app/LayoutKit.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <cmath>

namespace app {

TMaxLengthValidator::TMaxLengthValidator(QLineEdit* Edit, int MaxLength)
    : QValidator(Edit), FMaxLength(MaxLength), FAcceptedLength(Edit->text().size()) {
    // The edit already holds the candidate text while validating, so remember the last one.
    connect(Edit, &QLineEdit::textChanged, this,
            [this](const QString& Text) { FAcceptedLength = Text.size(); });
}

QValidator::State TMaxLengthValidator::validate(QString& Input, int&) const {
    if (Input.size() > FMaxLength && Input.size() > FAcceptedLength)
        return Invalid;
    return Acceptable;
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
    Edit->setValidator(new TMaxLengthValidator(Edit, MaxLength));
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
