#include "ui/pictures.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include "ui/ui_style.h"

namespace pictorra::ui::pictures {
namespace {

const QColor kStrip = shell::ColorFromRef(kStripBack);  // slate blue of the title strips
const QColor kInk(52, 58, 92);                          // outlines
const QColor kPaper(250, 250, 252);                     // white of prints and pages
const QColor kAccent(214, 96, 64);                      // the crop corner, the one warm colour
const QColor kFolder(236, 190, 92);                     // folders
const QColor kBack = shell::ColorFromRef(kFormBack);    // window background

QImage Canvas(int width, int height, const QColor& fill) {
    QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
    image.fill(fill);
    return image;
}

void Smooth(QPainter& p) { p.setRenderHint(QPainter::Antialiasing, true); }

}  // namespace

QImage Banner(int width, int height) {
    QImage image = Canvas(width, height, kStrip);
    QPainter p(&image);
    QLinearGradient shade(0, 0, width, 0);
    shade.setColorAt(0.0, kStrip);
    shade.setColorAt(0.6, kStrip.lighter(112));
    shade.setColorAt(1.0, kStrip.lighter(135));
    p.fillRect(image.rect(), shade);
    // A fine highlight along the top edge, as light from above would give.
    p.setPen(QColor(255, 255, 255, 60));
    p.drawLine(0, 0, width, 0);
    return image;
}

QImage ProgramIcon(int size) {
    QImage image = Canvas(size, size, Qt::transparent);
    QPainter p(&image);
    Smooth(p);
    const qreal u = size / 16.0;
    // A print, slightly tilted, with a landscape on it.
    p.translate(8 * u, 8 * u);
    p.rotate(-8);
    p.translate(-8 * u, -8 * u);
    const QRectF print(1.5 * u, 2.5 * u, 13 * u, 11 * u);
    p.setPen(QPen(kInk, std::max(1.0, 0.9 * u)));
    p.setBrush(kPaper);
    p.drawRect(print);
    const QRectF scene = print.adjusted(1.5 * u, 1.5 * u, -1.5 * u, -1.5 * u);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 190, 235));
    p.drawRect(scene);
    QPainterPath hill;
    hill.moveTo(scene.bottomLeft());
    hill.lineTo(scene.left() + scene.width() * 0.35, scene.top() + scene.height() * 0.45);
    hill.lineTo(scene.left() + scene.width() * 0.6, scene.top() + scene.height() * 0.75);
    hill.lineTo(scene.left() + scene.width() * 0.8, scene.top() + scene.height() * 0.55);
    hill.lineTo(scene.bottomRight());
    hill.closeSubpath();
    p.setBrush(QColor(92, 150, 92));
    p.drawPath(hill);
    // The crop corner over the top right.
    p.setPen(QPen(kAccent, std::max(1.5, 1.6 * u), Qt::SolidLine, Qt::SquareCap));
    p.setBrush(Qt::NoBrush);
    const QPointF c(print.right() + 0.5 * u, print.top() - 0.5 * u);
    p.drawLine(c, c + QPointF(-5 * u, 0));
    p.drawLine(c, c + QPointF(0, 5 * u));
    return image;
}

namespace {
// A window button on the strip: a faint square and a white glyph.
template <typename Glyph>
QImage StripButton(Glyph glyph) {
    QImage image = Canvas(16, 16, kStrip);
    QPainter p(&image);
    p.setPen(QColor(255, 255, 255, 70));
    p.drawRect(0, 0, 15, 15);
    Smooth(p);
    glyph(p);
    return image;
}
}  // namespace

QImage MinimizeButton() {
    return StripButton([](QPainter& p) { p.fillRect(4, 10, 8, 2, Qt::white); });
}

QImage CloseButton() {
    return StripButton([](QPainter& p) {
        p.setPen(QPen(Qt::white, 2.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(4.5, 4.5), QPointF(11.5, 11.5));
        p.drawLine(QPointF(11.5, 4.5), QPointF(4.5, 11.5));
    });
}

QImage BarIcon(int index) {
    QImage image = Canvas(16, 16, kBack);
    QPainter p(&image);
    Smooth(p);
    p.setPen(QPen(kInk, 1.0));
    switch (index) {
        case 0: {  // a picture file: a page with a folded corner and a small landscape
            QPainterPath page;
            page.moveTo(3.5, 1.5);
            page.lineTo(10.5, 1.5);
            page.lineTo(13.5, 4.5);
            page.lineTo(13.5, 14.5);
            page.lineTo(3.5, 14.5);
            page.closeSubpath();
            p.setBrush(kPaper);
            p.drawPath(page);
            p.drawLine(QPointF(10.5, 1.5), QPointF(10.5, 4.5));
            p.drawLine(QPointF(10.5, 4.5), QPointF(13.5, 4.5));
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(92, 150, 92));
            p.drawPolygon(QPolygonF({{5, 13}, {7.5, 8.5}, {9.5, 11}, {10.5, 9.5}, {12, 13}}));
            p.setBrush(kAccent);
            p.drawEllipse(QPointF(6.5, 6), 1.2, 1.2);
            break;
        }
        case 1: {  // a folder
            p.setBrush(kFolder.darker(115));
            p.drawRoundedRect(QRectF(1.5, 3.5, 6, 3), 1, 1);
            p.setBrush(kFolder);
            p.drawRoundedRect(QRectF(1.5, 5.5, 13, 8.5), 1, 1);
            p.setPen(QColor(255, 255, 255, 140));
            p.drawLine(QPointF(2.5, 6.8), QPointF(13.5, 6.8));
            break;
        }
        case 2: {  // options: three sliders
            for (int row = 0; row < 3; ++row) {
                const qreal y = 3.5 + row * 4.5;
                p.setPen(QPen(kInk, 1.2));
                p.drawLine(QPointF(2, y), QPointF(14, y));
                const qreal knob = (row == 1) ? 10.5 : (row == 0 ? 5.5 : 8);
                p.setPen(QPen(kInk, 1.0));
                p.setBrush(row == 1 ? kAccent : kPaper);
                p.drawEllipse(QPointF(knob, y), 2.1, 2.1);
            }
            break;
        }
        default: {  // help: a question mark in a ring
            p.setBrush(kStrip);
            p.setPen(Qt::NoPen);
            p.drawEllipse(QRectF(1, 1, 14, 14));
            QFont font = SansFont(12, true);
            p.setFont(font);
            p.setPen(Qt::white);
            p.drawText(QRectF(1, 1, 14, 14), Qt::AlignCenter, QStringLiteral("?"));
            break;
        }
    }
    return image;
}

QImage Chute() {
    QImage image = Canvas(75, 75, kBack);
    QPainter p(&image);
    Smooth(p);
    // A hopper seen from the front: a wide mouth narrowing into a short spout, with a print
    // sliding in and an arrow showing the way.
    QPainterPath hopper;
    hopper.moveTo(6, 22);
    hopper.lineTo(69, 22);
    hopper.lineTo(47, 52);
    hopper.lineTo(47, 68);
    hopper.lineTo(28, 68);
    hopper.lineTo(28, 52);
    hopper.closeSubpath();
    QLinearGradient body(0, 22, 75, 68);
    body.setColorAt(0, kStrip.lighter(150));
    body.setColorAt(1, kStrip);
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(body);
    p.drawPath(hopper);
    p.setPen(QPen(kStrip.lighter(175), 1.0));
    p.drawLine(QPointF(10, 25), QPointF(65, 25));
    // The print going in.
    p.save();
    p.translate(37, 14);
    p.rotate(-12);
    p.setPen(QPen(kInk, 1.2));
    p.setBrush(kPaper);
    p.drawRect(QRectF(-13, -9, 26, 17));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(150, 190, 235));
    p.drawRect(QRectF(-11, -7, 22, 13));
    p.setBrush(QColor(92, 150, 92));
    p.drawPolygon(QPolygonF({{-11, 6}, {-3, -2}, {3, 3}, {7, 0}, {11, 6}}));
    p.restore();
    // The way down.
    p.setPen(QPen(Qt::white, 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawLine(QPointF(37.5, 38), QPointF(37.5, 60));
    p.drawPolyline(QPolygonF({{32, 55}, {37.5, 61}, {43, 55}}));
    return image;
}

QImage Wait() {
    QImage image = Canvas(23, 28, kBack);
    QPainter p(&image);
    Smooth(p);
    // An hourglass with most of the sand still on top.
    p.setPen(QPen(kInk, 1.5));
    p.setBrush(kStrip);
    p.drawRect(QRectF(3, 1, 17, 3));
    p.drawRect(QRectF(3, 24, 17, 3));
    QPainterPath glass;
    glass.moveTo(5, 4);
    glass.lineTo(18, 4);
    glass.cubicTo(18, 11, 13, 12, 13, 14);
    glass.cubicTo(13, 16, 18, 17, 18, 24);
    glass.lineTo(5, 24);
    glass.cubicTo(5, 17, 10, 16, 10, 14);
    glass.cubicTo(10, 12, 5, 11, 5, 4);
    p.setBrush(QColor(230, 238, 250));
    p.drawPath(glass);
    p.setPen(Qt::NoPen);
    p.setBrush(kFolder);
    p.drawPolygon(QPolygonF({{7, 7}, {16, 7}, {11.5, 13}}));
    p.drawPolygon(QPolygonF({{8, 23}, {15, 23}, {11.5, 19.5}}));
    return image;
}

QImage ToolIcon(int index) {
    const QColor back = shell::ColorFromRef(0xF2E8E8);
    QImage image = Canvas(24, 24, back);
    QPainter p(&image);
    Smooth(p);
    const QPointF c(12, 12);
    switch (index) {
        case 0:    // lighten: a sun
        case 1: {  // darken: the same sun, eclipsed
            p.setPen(QPen(kFolder.darker(125), 1.6, Qt::SolidLine, Qt::RoundCap));
            for (int i = 0; i < 8; ++i) {
                QLineF ray = QLineF::fromPolar(10.5, i * 45.0).translated(c);
                ray.setP1(c + (ray.p2() - c) * 0.72);
                p.drawLine(ray);
            }
            p.setPen(QPen(kInk, 1.0));
            p.setBrush(kFolder);
            p.drawEllipse(c, 5.5, 5.5);
            if (index == 1) {
                p.setPen(Qt::NoPen);
                p.setBrush(QColor(70, 72, 100));
                p.drawEllipse(QPointF(14, 11), 5.5, 5.5);
            }
            break;
        }
        case 2: {  // sharpen: a crisp black and white edge with a bright halo
            p.setPen(QPen(kInk, 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 3.5, 17, 17));
            p.setPen(Qt::NoPen);
            p.setBrush(kInk);
            p.drawPolygon(QPolygonF({{3.5, 20.5}, {20.5, 3.5}, {20.5, 20.5}}));
            p.setPen(QPen(kAccent, 1.4));
            p.drawLine(QPointF(4.5, 19.5), QPointF(19.5, 4.5));
            break;
        }
        case 3: {  // soften: the same edge, blurred into steps of grey
            p.setPen(QPen(kInk, 1.0));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(3.5, 3.5, 17, 17));
            for (int step = 0; step < 5; ++step) {
                const qreal d = 6.0 - step * 2.0;
                QColor grey = kInk.lighter(100 + (4 - step) * 35);
                grey.setAlpha(90);
                p.setPen(Qt::NoPen);
                p.setBrush(grey);
                p.drawPolygon(QPolygonF({{4 + d, 20}, {20, 4 + d}, {20, 20}}));
            }
            break;
        }
        case 4: {  // border: a picture inside a coloured band
            p.setPen(Qt::NoPen);
            p.setBrush(kAccent);
            p.drawRect(QRectF(2, 4, 20, 16));
            p.setBrush(QColor(150, 190, 235));
            p.drawRect(QRectF(6, 8, 12, 8));
            p.setBrush(QColor(92, 150, 92));
            p.drawPolygon(QPolygonF({{6, 16}, {10, 11}, {13, 14}, {15, 12}, {18, 16}}));
            break;
        }
        case 5: {  // frame: a raised bevel, light above and left, shadow below and right
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(232, 224, 214));
            p.drawPolygon(QPolygonF({{2, 4}, {22, 4}, {17, 9}, {7, 9}, {7, 15}, {2, 20}}));
            p.setBrush(QColor(120, 104, 92));
            p.drawPolygon(QPolygonF({{22, 4}, {22, 20}, {2, 20}, {7, 15}, {17, 15}, {17, 9}}));
            p.setBrush(QColor(150, 190, 235));
            p.drawRect(QRectF(7, 9, 10, 6));
            break;
        }
        default: {  // text: a capital letter with a caret
            p.setFont(SansFont(19, true));
            p.setPen(kInk);
            p.drawText(QRect(0, 0, 20, 24), Qt::AlignCenter, QStringLiteral("A"));
            p.setPen(QPen(kAccent, 1.5));
            p.drawLine(QPointF(20.5, 5), QPointF(20.5, 19));
            break;
        }
    }
    return image;
}

QImage MoveIcon(int index) {
    QImage image = Canvas(23, 23, kBack);
    QPainter p(&image);
    Smooth(p);
    // Two windows: the main window drawn plain, the image view with a picture in it.
    const auto window = [&p](const QRectF& r, bool view) {
        p.setPen(QPen(kInk, 1.0));
        p.setBrush(kPaper);
        p.drawRect(r);
        p.setPen(Qt::NoPen);
        p.setBrush(kStrip);
        p.drawRect(QRectF(r.left() + 0.5, r.top() + 0.5, r.width() - 1, 2.5));
        if (view) {
            p.setBrush(QColor(150, 190, 235));
            p.drawRect(r.adjusted(2, 4, -2, -2));
        }
    };
    switch (index) {
        case 0:
            window(QRectF(1.5, 5.5, 9, 12), false);
            window(QRectF(11.5, 5.5, 9, 12), true);
            break;
        case 1:
            window(QRectF(5.5, 1.5, 12, 9), false);
            window(QRectF(5.5, 11.5, 12, 9), true);
            break;
        default:
            window(QRectF(1.5, 1.5, 12, 11), false);
            window(QRectF(8.5, 9.5, 12, 11), true);
            break;
    }
    return image;
}

QImage CaptionButton(int width, int height, const QString& caption) {
    QImage image = Canvas(width, height, kBack);
    QPainter p(&image);
    Smooth(p);
    QLinearGradient face(0, 0, 0, height);
    face.setColorAt(0, QColor(255, 255, 255));
    face.setColorAt(1, QColor(222, 226, 240));
    p.setPen(QPen(kStrip.darker(120), 1.0));
    p.setBrush(face);
    p.drawRoundedRect(QRectF(0.5, 0.5, width - 1, height - 1), 3, 3);
    p.setFont(SansFont(kSmallPx + 1, true));
    p.setPen(kInk);
    p.drawText(QRect(0, 0, width, height), Qt::AlignCenter, caption);
    return image;
}

}  // namespace pictorra::ui::pictures
