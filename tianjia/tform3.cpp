#include "tianjia/tform3.h"

namespace tianjia {

TForm3::TForm3(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("添加字"));
}

} // namespace tianjia
