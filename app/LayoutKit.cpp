#include "app/LayoutKit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QScreen>
#include <QStyle>
#include <QStyleOption>
#include <QToolTip>
#include <algorithm>
#include <cmath>

namespace app {

namespace {

// The application's style with two habits of the design's platform: a group box's caption on
// its frame line, and a drop-down list that shows the rows it is told to. Given to single
// widgets only; a style set on a widget does not pass to its children.
class TDesignStyle : public QProxyStyle {
public:
    int styleHint(StyleHint Hint, const QStyleOption* Option, const QWidget* Widget,
                  QStyleHintReturn* Return) const override {
        if (Hint == SH_ComboBox_Popup)
            return 0;
        return QProxyStyle::styleHint(Hint, Option, Widget, Return);
    }

    void drawComplexControl(ComplexControl Control, const QStyleOptionComplex* Option,
                            QPainter* Painter, const QWidget* Widget) const override {
        const auto* Box = qstyleoption_cast<const QStyleOptionGroupBox*>(Option);
        if (Control != CC_GroupBox || !Box) {
            QProxyStyle::drawComplexControl(Control, Option, Painter, Widget);
            return;
        }
        const QRect Label = subControlRect(CC_GroupBox, Option, SC_GroupBoxLabel, Widget);
        QRect Frame = Option->rect.adjusted(0, 0, -1, -1);
        if (!Box->text.isEmpty())
            Frame.setTop(Label.center().y());
        Painter->save();
        QRegion Clip(Option->rect);
        if (!Box->text.isEmpty())
            Clip -= Label.adjusted(-2, 0, 2, 0);
        Painter->setClipRegion(Clip);
        Painter->setPen(Option->palette.color(QPalette::Mid));
        Painter->setBrush(Qt::NoBrush);
        Painter->drawRoundedRect(QRectF(Frame).translated(0.5, 0.5), 2, 2);
        Painter->restore();
        QStyleOptionGroupBox Caption = *Box;
        Caption.subControls = SC_GroupBoxLabel;
        QProxyStyle::drawComplexControl(Control, &Caption, Painter, Widget);
    }
};

QStyle* DesignStyle() {
    // Outlives every window: a widget keeps using the style until it is gone.
    static auto* Style = new TDesignStyle;
    return Style;
}

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
    if (Event->type() == QEvent::KeyPress) {
        const auto* Key = static_cast<QKeyEvent*>(Event);
        ShowRefused(Key->matches(QKeySequence::Paste) ? QGuiApplication::clipboard()->text()
                                                      : Key->text());
    } else if (Event->type() == QEvent::InputMethod)
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

QFont FontThatFits(const QFont& Base, int DesignPixels, const QList<TCaptionRoom>& Captions) {
    for (int Pixels = DesignPixels;; --Pixels) {
        const QFont Font = FontOfHeight(Base, Pixels);
        const QFontMetrics Metrics(Font);
        const bool Fits = std::all_of(Captions.begin(), Captions.end(), [&](const TCaptionRoom& C) {
            return Metrics.horizontalAdvance(C.Caption) <= C.Room;
        });
        if (Fits || Pixels <= 6)
            return Font;
    }
}

bool HasOneAdvance(const QFont& Font) {
    const QFontMetricsF Metrics(Font);
    const QString Sample = QStringLiteral("iIlW0M.:/- _#m1");
    const qreal Advance = Metrics.horizontalAdvance(Sample[0]);
    return Advance > 0 && std::all_of(Sample.begin(), Sample.end(), [&](QChar C) {
               return Metrics.horizontalAdvance(C) == Advance;
           });
}

QFont FixedFontOfHeight(int Pixels) {
    // fontconfig may map "monospace" to a family it knows no spacing for: measure, not trust.
    const QString Families[] = {QFontDatabase::systemFont(QFontDatabase::FixedFont).family(),
                                "DejaVu Sans Mono",
                                "Liberation Mono",
                                "Noto Mono",
                                "Noto Sans Mono",
                                "FreeMono",
                                "Monospace"};
    QFont Font;
    for (const QString& Family : Families) {
        Font = QFont(Family);
        Font.setStyleHint(QFont::TypeWriter);
        Font.setFixedPitch(true);
        Font.setPixelSize(Pixels);
        if (HasOneAdvance(Font))
            return Font;
    }
    return Font;
}

void FitGroupFont(const QList<QWidget*>& Controls, int DesignPixels) {
    for (int Pixels = DesignPixels; Pixels >= 6; --Pixels) {
        for (QWidget* Control : Controls)
            Control->setFont(FontOfHeight(Control->font(), Pixels));
        if (std::all_of(Controls.begin(), Controls.end(), CaptionFits))
            return;
    }
}

void FitOneLine(QLabel* Label, int DesignPixels) {
    for (int Pixels = DesignPixels; Pixels >= 6; --Pixels) {
        Label->setFont(FontOfHeight(Label->font(), Pixels));
        if (Label->fontMetrics().horizontalAdvance(Label->text()) <= Label->width())
            return;
    }
}

void TitleOnFrame(QWidget* GroupBox) {
    GroupBox->setStyle(DesignStyle());
}

void ShowRowsWhenDropped(QComboBox* Box, int Rows) {
    Box->setMaxVisibleItems(Rows);
    Box->setStyle(DesignStyle());
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

// A wrapping label keeps its width and needs the height of its lines at that width.
QSize LabelNeeds(const QLabel* Label) {
    if (Label->wordWrap())
        return {Label->width(), Label->heightForWidth(Label->width())};
    return Label->sizeHint();
}

void FitLabel(QLabel* Label) {
    const QSize Need = LabelNeeds(Label);
    const QRect Old = Label->geometry();
    const int Width = std::max(Old.width(), Need.width());
    const int Left = (Label->alignment() & Qt::AlignRight) ? Old.right() + 1 - Width : Old.left();
    Label->setGeometry(Left, Old.top(), Width, std::max(Old.height(), Need.height()));
}

bool CaptionFits(const QWidget* Control) {
    if (auto* Label = qobject_cast<const QLabel*>(Control))
        return LabelNeeds(Label).width() <= Label->width() &&
               LabelNeeds(Label).height() <= Label->height();
    auto* Button = qobject_cast<const QAbstractButton*>(Control);
    if (!Button || Button->text().isEmpty())
        return true;
    if (!qobject_cast<const QPushButton*>(Button)) {
        // A check or radio box: its caption starts after the indicator and must end inside.
        QStyleOptionButton Option;
        Option.initFrom(Button);
        Option.text = Button->text();
        const auto Element = qobject_cast<const QCheckBox*>(Button)
                                 ? QStyle::SE_CheckBoxContents
                                 : QStyle::SE_RadioButtonContents;
        const QRect Contents = Button->style()->subElementRect(Element, &Option, Button);
        return Contents.left() + Button->fontMetrics().horizontalAdvance(Button->text()) <=
               Button->width();
    }
    // The caption is centred over the whole button: it must clear the frame with a pixel of air.
    const int Frame = Button->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, Button);
    const QSize Text = Button->fontMetrics().size(Qt::TextShowMnemonic, Button->text());
    return Text.width() + 2 * (Frame + 1) <= Button->width() && Text.height() <= Button->height();
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
