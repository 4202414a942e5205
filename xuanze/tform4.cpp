#include "xuanze/tform4.h"

namespace xuanze {

TForm4::TForm4(stage::TForm1* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("选择"));
}

} // namespace xuanze
