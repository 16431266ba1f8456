// tunelore-make-icons DIR: paints the application icon at 16, 32 and 48 pixels into
// DIR/tunelore-importer-<size>.png. The artwork is res/icons/tunelore-importer.svg drawn with QPainter, in
// the same 48-unit coordinates, so the bitmaps and the scalable icon match.

#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cstdio>

namespace {
void PaintIcon(QPainter& painter, int size)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 48.0, size / 48.0);

    // A blue rounded tile.
    QLinearGradient tile(0, 2, 0, 46);
    tile.setColorAt(0, QColor(0x3a, 0x7b, 0xd5));
    tile.setColorAt(1, QColor(0x1f, 0x4e, 0x8c));
    painter.setPen(QPen(QColor(0x17, 0x3d, 0x6e), 1.0));
    painter.setBrush(tile);
    painter.drawRoundedRect(QRectF(2.5, 2.5, 43, 43), 9, 9);

    // Two beamed eighth notes in white.
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    for (const QPointF head : {QPointF(16.5, 34), QPointF(33.5, 30)}) {
        painter.save();
        painter.translate(head);
        painter.rotate(-20);
        painter.drawEllipse(QPointF(0, 0), 6, 4.5);
        painter.restore();
    }
    painter.drawRect(QRectF(20.5, 12, 2.5, 22));
    painter.drawRect(QRectF(37.5, 8, 2.5, 22));
    painter.drawPolygon(QPolygonF({QPointF(20.5, 11), QPointF(40, 7), QPointF(40, 13), QPointF(20.5, 17)}));

    // An orange arrow into the tile's corner: songs going in.
    painter.setBrush(QColor(0xf5, 0x9e, 0x0b));
    painter.drawPolygon(QPolygonF({QPointF(8.5, 6),
                                   QPointF(12.5, 6),
                                   QPointF(12.5, 12),
                                   QPointF(15.5, 12),
                                   QPointF(10.5, 17),
                                   QPointF(5.5, 12),
                                   QPointF(8.5, 12)}));
}
} // namespace

int main(int argc, char** argv)
{
    // Painting shapes on a QImage needs no application object and no display.
    if (argc != 2) {
        std::fprintf(stderr, "usage: tunelore-make-icons DIR\n");
        return 2;
    }
    const QString folder = QString::fromLocal8Bit(argv[1]);
    for (const int size : {16, 32, 48}) {
        QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintIcon(painter, size);
        painter.end();
        const QString file = folder + QStringLiteral("/tunelore-importer-%1.png").arg(size);
        if (!image.save(file, "PNG")) {
            std::fprintf(stderr, "can't write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
    }
    return 0;
}
