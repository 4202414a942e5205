#include "stage/helpwindow.h"

#include "platform/files.h"
#include "platform/gbk.h"
#include "platform/guard.h"
#include "platform/textencoding.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QScreen>
#include <QUrl>

#include <algorithm>

namespace stage {

namespace {

// The text of a help page's bytes, GBK or UTF-8.
QString helpPageText(const QByteArray& bytes)
{
    using platform::textencoding::Encoding;
    switch (platform::textencoding::detect(bytes)) {
    case Encoding::Utf8WithBom:
        return QString::fromUtf8(bytes.sliced(3));
    case Encoding::Utf8:
        return QString::fromUtf8(bytes);
    case Encoding::Gbk:
        break;
    }
    return platform::gbk::decode(bytes);
}

} // namespace

HelpWindow::HelpWindow(QWidget* parent)
    : QTextBrowser(parent)
{
    setWindowFlag(Qt::Window);
    setWindowTitle(platform::applicationTitle());
    // The page's links are anchors within it; the text browser would look
    // for "#anchor" as a file of its own.
    setOpenLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& link) { scrollToAnchor(link.fragment()); });
}

void HelpWindow::showPage(const QString& path)
{
    const QString text = helpPageText(platform::readWholeFile(path));
    setHtml(text);
    if (!documentTitle().isEmpty())
        setWindowTitle(documentTitle());
    if (!isVisible())
        placeOverParent();
    show();
    raise();
    activateWindow();
}

void HelpWindow::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QTextBrowser::keyPressEvent(event);
}

// Most of the screen the stage is on, in its middle: room for the page's
// large type without covering everything.
void HelpWindow::placeOverParent()
{
    QScreen* screen = parentWidget() ? parentWidget()->screen() : QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    const QSize size(std::min(available.width() * 4 / 5, 1000), available.height() * 17 / 20);
    resize(size);
    move(available.center() - QPoint(size.width() / 2, size.height() / 2));
}

} // namespace stage
