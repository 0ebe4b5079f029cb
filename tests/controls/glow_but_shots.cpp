// Writes a picture of a glow button in each look (plain, glow, pressed, disabled), side by side
// on a form-coloured strip, to the PNG file named by the first argument, so that the looks can
// be checked by eye at any QT_SCALE_FACTOR. Run it on the offscreen platform.

#include <QApplication>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>
#include <QtTest>
#include <cstdio>

#include "controls/c_subclass.h"
#include "controls/glow_but.h"

using pictorra::controls::CSubclass;
using pictorra::controls::GlowBut;

namespace {

// A light rounded face with dark lettering, like the program's own buttons.
QImage ButtonPicture() {
    QImage image(72, 26, QImage::Format_RGB32);
    image.fill(QColor(0xD4, 0xD0, 0xC8));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, 26);
    face.setColorAt(0, QColor(0xF4, 0xF4, 0xF0));
    face.setColorAt(1, QColor(0xB8, 0xB8, 0xB0));
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0.5, 0.5, 71, 25), 6, 6);
    painter.fillPath(outline, face);
    painter.setPen(QColor(0x60, 0x60, 0x60));
    painter.drawPath(outline);
    QFont font("DejaVu Sans");
    font.setPixelSize(13);
    font.setBold(true);
    painter.setFont(font);
    painter.setPen(QColor(0x20, 0x20, 0x40));
    painter.drawText(image.rect(), Qt::AlignCenter, "Process");
    return image;
}

QImage Shot(const char* steps) {
    CSubclass hook;
    QWidget window;
    window.setAutoFillBackground(true);
    window.setPalette(QColor(0xD4, 0xD0, 0xC8));
    window.resize(88, 42);
    auto* button = new GlowBut(&hook, &window);
    button->move(8, 8);
    button->SetButtonImage(ButtonPicture());
    button->SetGlowColor("A01010");
    button->SetDisabledColor("DEDEDE");
    button->HookButton();
    QCursor::setPos(790, 790);  // so that the move below is a move
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) return {};
    const QPoint over(30, 20);
    for (const char* step = steps; *step != '\0'; ++step) {
        if (*step == 'm') QTest::mouseMove(&window, over);
        if (*step == 'p') QTest::mousePress(window.windowHandle(), Qt::LeftButton, {}, over);
        if (*step == 'd') button->SetEnabled(false);
    }
    // Device pixels as they are, whatever the scale factor.
    QImage shot = window.grab().toImage().convertToFormat(QImage::Format_RGB32);
    shot.setDevicePixelRatio(1);
    return shot;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: glow_but_shots OUTPUT.png\n");
        return 2;
    }
    const QImage shots[] = {Shot(""), Shot("m"), Shot("mp"), Shot("d")};
    const QImage& first = shots[0];
    QImage sheet(first.width() * 4, first.height(), QImage::Format_RGB32);
    QPainter painter(&sheet);
    for (int i = 0; i < 4; ++i) painter.drawImage(first.width() * i, 0, shots[i]);
    painter.end();
    if (!sheet.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
