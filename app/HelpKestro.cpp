#include "app/HelpKestro.h"

#include "app/LayoutKit.h"

#include <QPlainTextEdit>
#include <QPushButton>

namespace app {

TIntroForm* IntroForm = nullptr;

QString IntroText() {
    static const char* const Lines[] = {
        " In order to use this software to communicate with a 'Corrosion Kestro' ",
        " a few simple steps need to be taken.....",
        "1) From below  select the appropriate communications port on your PC  ",
        "     to which you have connected the 'Corrosion Kestro'.",
        "2) Make sure that the 'Kestro' is awake. ",
        "    If no lights are illuminated then press the \"test\" button until they do.",
        "    Once awake the PC will begin to communicate with the attached unit.",
        "    The green \"Comms Active\" indicator will illuminate on your PC screen. ",
        "3) Once communications have been established the PC may be used to",
        "     alter the settings on your Kestro, ",
        "     start/stop data logging, ",
        "     retrieve logged data from the Kestro or",
        "     view data previously gathered by a Kestro.",
        "",
        "         (You may view this page at any time by using 'Help' or the <F1> key)"};
    QStringList Text;
    for (const char* Line : Lines)
        Text << QString::fromLatin1(Line);
    return Text.join('\n');
}

TIntroForm::TIntroForm(QWidget* Parent) : QDialog(Parent) {
    setObjectName("IntroForm");
    setWindowTitle("Introduction");
    setFont(FontOfHeight(WindowFont(), ScaleFrom120(14)));
    // Placed by its outer frame, like the main window.
    move(297, 284);
    resize(ScaleFrom120(706) - 8, ScaleFrom120(414) - 31);
    Memo1 = MakeMemo(this, "Memo1", ScaleFrom120(TBounds{69, 39, 553, 258}), IntroText());
    Button3 = MakeButton(this, "Button3", ScaleFrom120(TBounds{290, 305, 110, 30}), "Close");
    Button3->setAutoDefault(false);
    connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
    FitCaptions(this);
}

void TIntroForm::Button3Click() {
    hide();
}

} // namespace app
