// Program entry: the application object, its three windows and the message loop.
#include "app/HelpKestro.h"
#include "app/Logger.h"
#include "app/Shell.h"
#include "app/YesNo.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const char* const HelpText =
    "Usage: quorva [OPTION]\n"
    "The window for the Corrosion Kestro hull-protection logger: finds the logger on COM1 (or\n"
    "the port chosen in the window), shows its settings and readings, downloads its log.\n"
    "\n"
    "  -h, --help     show this help and exit\n"
    "  -V, --version  show the version and exit\n"
    "\n"
    "Environment:\n"
    "  QUORVA_COMn    the device that COMn opens, e.g. QUORVA_COM1=/dev/ttyUSB0\n"
    "\n"
    "The command line program kestro does the same without a window.\n";

// Answered before the application object exists, so they need no display and open no port.
int AnswerWithoutWindow(int argc, char* argv[]) {
    for (int I = 1; I < argc; ++I) {
        if (std::strcmp(argv[I], "--help") == 0 || std::strcmp(argv[I], "-h") == 0) {
            std::fputs(HelpText, stdout);
            return 0;
        }
        if (std::strcmp(argv[I], "--version") == 0 || std::strcmp(argv[I], "-V") == 0) {
            std::puts("quorva " QUORVA_VERSION);
            return 0;
        }
    }
    return -1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (const int Answered = AnswerWithoutWindow(argc, argv); Answered >= 0)
        return Answered;
    // Without TZ the C library reads /etc/localtime again for every local time it converts; a
    // logger's history puts hundreds of thousands of entries on one chart.
    setenv("TZ", ":/etc/localtime", 0);
    QApplication Application(argc, argv);
    app::InitApplication(Application);
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
