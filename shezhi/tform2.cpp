#include "shezhi/tform2.h"

namespace shezhi {

TForm2::TForm2(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("显示设置"));
}

} // namespace shezhi
