// Small builders for controls placed by pixel bounds, as a form file places them.
#pragma once

#include <QFont>
#include <QStringList>
#include <QValidator>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QWidget;

namespace app {

struct TBounds {
    int Left, Top, Width, Height;
};

// What an edit box takes from the keyboard: a visible character that the logger stores as one
// byte. Text the program sets may hold any byte.
bool TypableForLogger(QChar C);

// Limits what the user types, never what the program sets: setText() bypasses validators, a
// text already longer than the limit may still be shortened, and characters the logger cannot
// store are refused with a hint beside the box and a beep.
class TLoggerTextValidator : public QValidator {
public:
    TLoggerTextValidator(QLineEdit* Edit, int MaxLength);
    State validate(QString& Input, int& Pos) const override;
    int MaxLength() const { return FMaxLength; }
    // The hint shown when Refused was typed.
    static QString RefusedHint(QChar Refused);

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void ShowRefused(const QString& Typed) const;
    QLineEdit* FEdit;
    int FMaxLength;
    QString FAccepted;
};

// The dialogs were designed at 120 pixels per inch: their lengths at the screen's resolution.
int ScaleFrom120(int DesignPixels);
TBounds ScaleFrom120(TBounds Design);

// The system's sans-serif at 8 points, standing in for "MS Sans Serif".
QFont WindowFont();
QFont FontOfHeight(const QFont& Base, int Pixels);
// A caption and the room the design leaves it, in pixels.
struct TCaptionRoom {
    QString Caption;
    int Room;
};
// Base at the largest height from DesignPixels down at which every caption fits its room: the
// substitute font is wider than the design's, and one smaller size beats sizes per control.
QFont FontThatFits(const QFont& Base, int DesignPixels, const QList<TCaptionRoom>& Captions);
// A fixed-pitch font at a pixel height, standing in for "Terminal": the first of the usual
// monospaced families whose characters are really drawn with one advance.
QFont FixedFontOfHeight(int Pixels);
// Whether letters, digits and signs all advance by the same width in Font.
bool HasOneAdvance(const QFont& Font);
// One font height for a group of controls as the design gives them: the largest from
// DesignPixels down at which every caption fits; bold, italic and underline are kept.
void FitGroupFont(const QList<QWidget*>& Controls, int DesignPixels);
// A label whose caption must stay on one line within its width.
void FitOneLine(QLabel* Label, int DesignPixels);
// The caption sits on the frame's top line as on the design's platform, so controls placed
// just below the caption stay clear of the line.
void TitleOnFrame(QWidget* GroupBox);
// Fusion shows every item of a drop-down list unless told to honour the row count.
void ShowRowsWhenDropped(QComboBox* Box, int Rows);

template <typename W> W* Place(W* Widget, const char* Name, TBounds B) {
    Widget->setObjectName(QString::fromLatin1(Name));
    Widget->setGeometry(B.Left, B.Top, B.Width, B.Height);
    return Widget;
}

QLabel* MakeLabel(QWidget* Parent, const char* Name, int Left, int Top, const QString& Caption);
QLabel* MakeSizedLabel(QWidget* Parent, const char* Name, TBounds B, const QString& Caption);
QLineEdit* MakeEdit(QWidget* Parent, const char* Name, TBounds B, const QString& Text,
                    const QString& Hint = {});
QPushButton* MakeButton(QWidget* Parent, const char* Name, TBounds B, const QString& Caption,
                        const QString& Hint = {});
// A drop-down list, or a combo box with an edit field; no item selected.
QComboBox* MakeList(QWidget* Parent, const char* Name, TBounds B, const QStringList& Items,
                    const QString& Hint, bool Editable = false);
// A memo without scroll bars whose lines wrap at the right edge.
QPlainTextEdit* MakeMemo(QWidget* Parent, const char* Name, TBounds B, const QString& Text);
void LimitTyping(QLineEdit* Edit, int MaxLength);
// The substitute fonts are wider than the design's: a label grows to its caption (a
// right-aligned one to the left), a button or check box takes a smaller font until it fits.
void FitLabel(QLabel* Label);
void FitCaption(QWidget* Control);
// Whether the control shows its whole caption within its bounds.
bool CaptionFits(const QWidget* Control);
// Fits every label and button of a window.
void FitCaptions(QWidget* Window);
void SetTextColour(QWidget* Widget, const QColor& Colour);

} // namespace app
