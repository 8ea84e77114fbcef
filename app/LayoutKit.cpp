#include "app/LayoutKit.h"

#include <QComboBox>
#include <QFontDatabase>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

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

void SetTextColour(QWidget* Widget, const QColor& Colour) {
    QPalette Palette = Widget->palette();
    Palette.setColor(QPalette::WindowText, Colour);
    Palette.setColor(QPalette::Text, Colour);
    Widget->setPalette(Palette);
}

} // namespace app
