#include "stage/fontcheck.h"

#include "platform/effects.h"
#include "platform/fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace stage {

namespace {

// The data's own Kai face names, installed under these names on a desktop
// that has the faces the data was made with.
bool namedKaiFaceInstalled()
{
    const QStringList installed = QFontDatabase::families();
    for (const QString& name : {platform::shippedFaceName(), QStringLiteral("楷体_GB2312")}) {
        if (installed.contains(name, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

} // namespace

bool hasChineseFace()
{
    return namedKaiFaceInstalled() || !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
}

std::optional<QString> missingChineseFaceNotice()
{
    if (hasChineseFace())
        return std::nullopt;
    // The box itself has no face for the Chinese lines either: the English
    // line and the package names are what the user can read.
    return QStringLiteral("没有找到能显示汉字的字体，屏幕上的字会显示成空心方框。\n"
                          "请安装下面的一种字体，然后重新启动本程序。\n"
                          "No font for Chinese characters is installed: the characters show as "
                          "hollow boxes. Install one of these packages, then start the program again.\n\n"
                          "Debian, Ubuntu: fonts-arphic-ukai, fonts-arphic-gkai00mp, fonts-noto-cjk\n"
                          "Fedora: cjkuni-ukai-fonts, google-noto-sans-cjk-fonts");
}

void tellIfNoChineseFace(QWidget* parent)
{
    if (const std::optional<QString> notice = missingChineseFaceNotice())
        platform::effects().showMessage(parent, *notice);
}

} // namespace stage
