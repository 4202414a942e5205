#include "stage/stagecaptions.h"

#include <QFont>

#include <algorithm>

namespace stage {

namespace {

// Keeps a caption's bounds inside the window, so that it can always be seen.
QPainterPath within(const QPainterPath& caption, QPointF topLeft, QSizeF window)
{
    const QRectF bounds = caption.boundingRect();
    const qreal x = std::clamp(topLeft.x(), 0.0, std::max(0.0, window.width() - bounds.width()));
    const qreal y = std::clamp(topLeft.y(), 0.0, std::max(0.0, window.height() - bounds.height()));
    return caption.translated(x - bounds.left(), y - bounds.top());
}

} // namespace

int captionPixelHeight(QSizeF window)
{
    return std::max(16, int(window.height() / 24));
}

QPainterPath captionOutlines(const QString& text, const QString& face, int pixelHeight)
{
    QFont font(face);
    font.setPixelSize(pixelHeight);
    font.setBold(true);
    QPainterPath path;
    path.addText(0, 0, font, text);
    return path.translated(-path.boundingRect().topLeft());
}

QPainterPath placedBeside(const QPainterPath& caption, const QRectF& glyphs, QSizeF window)
{
    const QRectF bounds = caption.boundingRect();
    const qreal gap = bounds.height() / 2;
    qreal x = glyphs.right() + gap;
    if (x + bounds.width() > window.width())
        x = glyphs.left() - gap - bounds.width();
    return within(caption, QPointF(x, glyphs.bottom() - bounds.height()), window);
}

QPainterPath placedBelow(const QPainterPath& caption, const QRectF& glyphs, QSizeF window)
{
    const QRectF bounds = caption.boundingRect();
    const qreal gap = bounds.height() / 2;
    qreal y = glyphs.bottom() + gap;
    if (y + bounds.height() > window.height())
        y = glyphs.top() - gap - bounds.height();
    return within(caption, QPointF(glyphs.center().x() - bounds.width() / 2, y), window);
}

} // namespace stage
