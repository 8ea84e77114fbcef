// The introduction window: a page of usage notes with a Close button.
#pragma once

#include <QDialog>

class QPlainTextEdit;
class QPushButton;

namespace app {

// The notes, line by line, with their leading and trailing blanks.
QString IntroText();

class TIntroForm : public QDialog {
public:
    explicit TIntroForm(QWidget* Parent = nullptr);

    void Button3Click();

    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* Button3 = nullptr;
};

// The one instance, created at start-up after the confirmation window.
extern TIntroForm* IntroForm;

} // namespace app
