#pragma once


#include <QDialog>

namespace shezhi {

// Placeholder until the dialog is built: an empty modal dialog.
class TForm2 : public QDialog {
    Q_OBJECT

public:
    explicit TForm2(QWidget* parent);
};

} // namespace shezhi
