// The glow button over mouse sequences played through an offscreen window (which makes the
// enter and leave of real moves): the Click count and every pixel of the look after each one.
#include "controls/glow_but.h"

#include <QSignalSpy>
#include <QtTest>

using namespace pictorra::controls;

namespace {
const QPoint kIn(13, 12), kIn2(15, 14), kOut(3, 30);  // window coordinates; the button is at 10,10

// Every pixel different, with bits set and clear in every channel, so OR differs from XOR.
QImage Picture() {
    QImage image(9, 7, QImage::Format_RGB32);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 9; ++x)
            image.setPixel(x, y, qRgb(x * 29 + 3, y * 37 + 5, 255 - x * y * 4));
    return image;
}
}  // namespace

class GlowButTest : public QObject {
    Q_OBJECT
private slots:
    // Steps: m, n move over the button, o off it; p press; r release over it, R off it;
    // 2 double click; d disable, e enable; a leading ! hooks the widget before the button can.
    // Looks: P plain, G glow, D disabled, S pressed (disabled colour, shifted).
    void Sequences() {
        const struct {
            const char* steps;
            int clicks;
            char look;
        } rows[] = {
            {"", 0, 'P'},     {"m", 0, 'G'},    {"mn", 0, 'G'},      {"mo", 0, 'P'},
            {"mom", 0, 'G'},  {"mp", 0, 'S'},   {"mpr", 1, 'P'},     {"mprn", 1, 'G'},
            {"pr", 1, 'P'},   {"mpoR", 0, 'P'}, {"mpomr", 1, 'P'},   {"m2", 2, 'P'},
            {"dmp", 0, 'D'},  {"dmpe", 0, 'P'}, {"dmper", 0, 'P'},   {"mdoe", 0, 'P'},
            {"mpdr", 0, 'D'}, {"mpde", 0, 'P'}, {"dmprepr", 1, 'P'}, {"!mpro", 0, 'G'},
        };
        for (const auto& row : rows) {
            CSubclass hook;
            QWidget window;
            window.resize(60, 60);
            auto* button = new GlowBut(&hook, &window);
            QSignalSpy clicks(button, &GlowBut::Click);
            button->move(10, 10);
            button->SetButtonImage(Picture());
            button->SetGlowColor("A01010");  // 0xBBGGRR: blue A0
            button->SetGlowColor("12 4G");   // not a colour: ignored
            button->SetDisabledColor("DEDEDE");
            if (row.steps[0] == '!') hook.Subclass(button);
            QCOMPARE(button->HookButton(), row.steps[0] != '!');
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QTest::mouseMove(&window, kOut);  // a move to where the cursor is makes no event
            QWindow* w = window.windowHandle();
            for (const char c : std::string_view(row.steps)) {
                const QPoint at = c == 'n' ? kIn2 : c == 'o' || c == 'R' ? kOut : kIn;
                if (c == 'm' || c == 'n' || c == 'o') QTest::mouseMove(&window, at);
                if (c == 'p') QTest::mousePress(w, Qt::LeftButton, {}, at);
                if (c == 'r' || c == 'R') QTest::mouseRelease(w, Qt::LeftButton, {}, at);
                if (c == '2') QTest::mouseDClick(w, Qt::LeftButton, {}, at);
                if (c == 'd' || c == 'e') button->SetEnabled(c == 'e');
            }
            const QString id = row.steps;
            QVERIFY2(clicks.count() == row.clicks, qPrintable(id));
            const QImage shot = button->grab().toImage().convertToFormat(QImage::Format_RGB32);
            QVERIFY2(shot.size() == QSize(9, 7), qPrintable(id));
            const QImage picture = Picture();
            const int s = row.look == 'S' ? GlowBut::kPressShift : 0;
            for (int y = 0; y + s < 7; ++y) {
                for (int x = 0; x + s < 9; ++x) {
                    QRgb want = picture.pixel(x, y);
                    if (row.look == 'G') want |= qRgb(0x10, 0x10, 0xA0);
                    if (row.look == 'D' || row.look == 'S') want &= qRgb(0xDE, 0xDE, 0xDE);
                    QVERIFY2(shot.pixel(x + s, y + s) == want, qPrintable(id));
                }
            }
        }
    }
};

QTEST_MAIN(GlowButTest)
#include "glow_but_test.moc"
