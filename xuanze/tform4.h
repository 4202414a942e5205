#pragma once

#include "stage/tform1.h"
#include <QDialog>

namespace xuanze {

// Placeholder until the dialog is built: an empty modal dialog.
class TForm4 : public QDialog {
    Q_OBJECT

public:
    explicit TForm4(stage::TForm1* parent);
};

} // namespace xuanze
