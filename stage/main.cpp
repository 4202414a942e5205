#include "platform/fonts.h"
#include "platform/guard.h"
#include "stage/tform1.h"

#include <QApplication>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(platform::applicationTitle());
    // No display name: Qt would append it to every window title, and the
    // dialogs' titles are theirs alone.
    platform::installFontSubstitutions();

    stage::TForm1 stage;
    stage.show();
    return QApplication::exec();
}
