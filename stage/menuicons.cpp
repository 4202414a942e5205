#include "stage/menuicons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <cmath>
#include <functional>

namespace stage::menuicons {

namespace {

// Draws a 16 x 16 picture (and its double-size form for high-dpi screens)
// with `draw`, which paints in a 16-unit square.
QIcon drawn(const std::function<void(QPainter&)>& draw)
{
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(16 * scale, 16 * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.scale(scale, scale);
        draw(painter);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}

QPen outline(const QColor& colour, qreal width = 1.0)
{
    return QPen(colour, width, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

QIcon book(const QColor& cover, const QColor& mark)
{
    return drawn([=](QPainter& p) {
        p.setPen(outline(cover.darker(150)));
        p.setBrush(cover);
        p.drawRoundedRect(QRectF(2.5, 1.5, 11, 13), 1.5, 1.5);
        p.setBrush(Qt::white);
        p.setPen(Qt::NoPen);
        p.drawRect(QRectF(4, 3, 8, 10));
        p.setPen(outline(mark, 1.2));
        p.drawLine(QPointF(5.5, 5.5), QPointF(10.5, 5.5));
        p.drawLine(QPointF(5.5, 8), QPointF(10.5, 8));
        p.drawLine(QPointF(5.5, 10.5), QPointF(9, 10.5));
    });
}

} // namespace

QIcon add()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(0, 110, 0)));
        p.setBrush(QColor(60, 180, 60));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(outline(Qt::white, 2.2));
        p.drawLine(QPointF(8, 4.5), QPointF(8, 11.5));
        p.drawLine(QPointF(4.5, 8), QPointF(11.5, 8));
    });
}

QIcon locate()
{
    return drawn([](QPainter& p) {
        p.setBrush(Qt::NoBrush);
        p.setPen(outline(QColor(200, 30, 30), 1.4));
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawEllipse(QRectF(5, 5, 6, 6));
        p.setBrush(QColor(200, 30, 30));
        p.drawEllipse(QRectF(7, 7, 2, 2));
        p.drawLine(QPointF(8, 0.5), QPointF(8, 3));
        p.drawLine(QPointF(8, 13), QPointF(8, 15.5));
        p.drawLine(QPointF(0.5, 8), QPointF(3, 8));
        p.drawLine(QPointF(13, 8), QPointF(15.5, 8));
    });
}

QIcon settings()
{
    return drawn([](QPainter& p) {
        QPainterPath gear;
        const QPointF centre(8, 8);
        constexpr int teeth = 8;
        for (int i = 0; i < teeth * 2; ++i) {
            const qreal angle = i * M_PI / teeth;
            const qreal radius = (i % 2 == 0) ? 7.0 : 5.2;
            const QPointF point = centre + QPointF(std::cos(angle), std::sin(angle)) * radius;
            i == 0 ? gear.moveTo(point) : gear.lineTo(point);
        }
        gear.closeSubpath();
        gear.addEllipse(centre, 2.2, 2.2);
        gear.setFillRule(Qt::OddEvenFill);
        p.setPen(outline(QColor(60, 60, 70)));
        p.setBrush(QColor(150, 150, 165));
        p.drawPath(gear);
    });
}

QIcon colours()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(130, 90, 40)));
        p.setBrush(QColor(235, 200, 140));
        p.drawEllipse(QRectF(1, 2, 14, 12));
        p.setPen(Qt::NoPen);
        const QColor dots[] = {Qt::red, QColor(255, 200, 0), QColor(0, 160, 0), Qt::blue};
        const QPointF places[] = {{5, 5.5}, {8.5, 4.5}, {11.5, 6.5}, {10.5, 10}};
        for (int i = 0; i < 4; ++i) {
            p.setBrush(dots[i]);
            p.drawEllipse(places[i], 1.6, 1.6);
        }
        p.setBrush(Qt::white);
        p.drawEllipse(QPointF(5, 10), 1.8, 1.8);
    });
}

QIcon pickColour()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(90, 0, 90)));
        p.setBrush(QColor(128, 0, 128));
        p.drawRoundedRect(QRectF(1.5, 5.5, 9, 9), 1.5, 1.5);
        p.setPen(outline(QColor(40, 40, 40), 1.6));
        p.drawLine(QPointF(9, 7), QPointF(14, 2));
        p.setBrush(QColor(40, 40, 40));
        p.drawEllipse(QPointF(14, 2), 1.3, 1.3);
    });
}

QIcon library()
{
    return book(QColor(30, 110, 200), QColor(30, 110, 200));
}

QIcon surnames()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(140, 0, 0)));
        p.setBrush(QColor(200, 20, 20));
        p.drawRoundedRect(QRectF(2.5, 2.5, 11, 11), 2, 2);
        p.setPen(outline(Qt::white, 1.3));
        p.drawLine(QPointF(5, 6), QPointF(11, 6));
        p.drawLine(QPointF(8, 6), QPointF(8, 11));
        p.drawLine(QPointF(5, 11), QPointF(11, 11));
    });
}

QIcon threeCharacter()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(120, 80, 20)));
        p.setBrush(QColor(245, 225, 170));
        p.drawRect(QRectF(3.5, 2.5, 9, 11));
        p.setBrush(QColor(150, 100, 30));
        p.drawRoundedRect(QRectF(2, 1, 12, 2.5), 1, 1);
        p.drawRoundedRect(QRectF(2, 12.5, 12, 2.5), 1, 1);
        p.setPen(outline(QColor(80, 50, 10), 1.1));
        for (qreal y : {5.5, 8.0, 10.5})
            p.drawLine(QPointF(5.5, y), QPointF(10.5, y));
    });
}

QIcon thousandCharacter()
{
    return book(QColor(0, 128, 128), QColor(0, 100, 100));
}

QIcon review()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(150, 90, 0)));
        p.setBrush(QColor(255, 220, 120));
        p.drawRoundedRect(QRectF(1.5, 3.5, 9, 11), 1.5, 1.5);
        p.setPen(outline(QColor(0, 128, 0), 1.6));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(6, 1.5, 8.5, 8.5), 200 * 16, -250 * 16);
        p.setBrush(QColor(0, 128, 0));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(4.5, 4), QPointF(8.5, 4.5), QPointF(6, 8)}));
    });
}

QIcon record()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(60, 60, 60)));
        p.drawLine(QPointF(1.5, 14.5), QPointF(14.5, 14.5));
        p.setPen(outline(QColor(0, 100, 0)));
        p.setBrush(QColor(60, 170, 60));
        p.drawRect(QRectF(2.5, 8.5, 3, 6));
        p.drawRect(QRectF(10.5, 2.5, 3, 12));
        p.setPen(outline(QColor(150, 30, 30)));
        p.setBrush(QColor(220, 80, 80));
        p.drawRect(QRectF(6.5, 5.5, 3, 9));
    });
}

QIcon help()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(0, 60, 150)));
        p.setBrush(QColor(40, 120, 220));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        QFont font = p.font();
        font.setPixelSize(11);
        font.setBold(true);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(1.5, 1.5, 13, 13), Qt::AlignCenter, QStringLiteral("?"));
    });
}

QIcon close()
{
    return drawn([](QPainter& p) {
        p.setPen(outline(QColor(200, 20, 20), 2.0));
        p.setBrush(Qt::NoBrush);
        p.drawArc(QRectF(2.5, 3, 11, 11), 120 * 16, 300 * 16);
        p.drawLine(QPointF(8, 1.5), QPointF(8, 7.5));
    });
}

} // namespace stage::menuicons
