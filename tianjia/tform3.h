#pragma once


#include <QDialog>

namespace tianjia {

// Placeholder until the dialog is built: an empty modal dialog.
class TForm3 : public QDialog {
    Q_OBJECT

public:
    explicit TForm3(QWidget* parent);
};

} // namespace tianjia
