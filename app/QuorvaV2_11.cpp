// Program entry: the application object, its three windows and the message loop.
#include "app/HelpKestro.h"
#include "app/Logger.h"
#include "app/Shell.h"
#include "app/YesNo.h"

#include <QApplication>
#include <cstdlib>

int main(int argc, char* argv[]) {
    // Without TZ the C library reads /etc/localtime again for every local time it converts; a
    // logger's history puts hundreds of thousands of entries on one chart.
    setenv("TZ", ":/etc/localtime", 0);
    QApplication Application(argc, argv);
    app::InitApplication(Application);
    app::CloseWindowsOnSignals();
    app::TForm1 Form1;
    app::TRUSureForm RUSureForm(&Form1);
    app::RUSureForm = &RUSureForm;
    app::TIntroForm IntroForm(&Form1);
    app::IntroForm = &IntroForm;
    Form1.show();
    const int Result = Application.exec();
    app::IntroForm = nullptr;
    app::RUSureForm = nullptr;
    return Result;
}
