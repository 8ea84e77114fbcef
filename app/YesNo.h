// The confirmation window shown before the logger's log memory is erased.
#pragma once

#include "link/LinkHost.h"

#include <QDialog>

class QLabel;
class QPushButton;

namespace app {

using klink::mrCancel;
using klink::mrNo;
using klink::mrYes;

class TRUSureForm : public QDialog {
public:
    explicit TRUSureForm(QWidget* Parent = nullptr);

    // Shows the window modally; mrYes, mrNo, or mrCancel when closed by the frame.
    int ShowModal();

    QLabel *Label1 = nullptr, *Label2 = nullptr, *Label3 = nullptr, *Label4 = nullptr,
           *Label5 = nullptr;
    QPushButton *YesButton = nullptr, *NoButton = nullptr;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void showEvent(QShowEvent* Event) override;

public:
    // The close box; Escape does not come here.
    void reject() override;

private:
    bool FShownBefore = false;
};

// The one instance, created at start-up after the main window.
extern TRUSureForm* RUSureForm;

} // namespace app
