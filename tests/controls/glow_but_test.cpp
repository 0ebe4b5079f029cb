// The glow button: its pixels in every look, its Click count over mouse sequences, its colour
// texts, and a button whose hook failed. Mouse input goes through the offscreen window, which
// makes the enter and leave events of real moves.

#include "controls/glow_but.h"

#include <QApplication>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include "controls/c_subclass.h"

using pictorra::controls::ColorText;
using pictorra::controls::CSubclass;
using pictorra::controls::GlowBut;
using pictorra::controls::ParseColorText;

namespace {

constexpr int kWide = 9;
constexpr int kHigh = 7;
const QPoint kButtonAt(10, 10);
const QPoint kIn(13, 12);   // over the button, in window coordinates
const QPoint kIn2(15, 14);  // elsewhere over it
const QPoint kOut(3, 30);   // beside it

// Every pixel different, with bits set and clear in every channel.
QImage TestPicture() {
    QImage image(kWide, kHigh, QImage::Format_RGB32);
    for (int y = 0; y < kHigh; ++y) {
        for (int x = 0; x < kWide; ++x)
            image.setPixel(x, y, qRgb(x * 29 + 3, y * 37 + 5, 255 - x * y * 4));
    }
    return image;
}

// A button in a shown window, hooked as a form hooks it, with colours from 0xBBGGRR text:
// glow A01010 is red 0x10, green 0x10, blue 0xA0.
struct Form {
    CSubclass hook;
    QWidget window;
    GlowBut* button = new GlowBut(&hook, &window);  // owned by the window
    QSignalSpy clicks{button, &GlowBut::Click};

    explicit Form(bool hook_first_elsewhere = false) {
        window.resize(60, 60);
        button->setObjectName("bOKG");
        button->move(kButtonAt);
        button->SetButtonImage(TestPicture());
        button->SetGlowColor("A01010");
        button->SetDisabledColor("DEDEDE");
        // A button whose widget someone else hooked first cannot hook it.
        if (hook_first_elsewhere) hook.Subclass(button);
        button->HookButton();
        // A move to where the cursor already is makes no event: start every form from afar.
        QCursor::setPos(790, 790);
        window.show();
    }

    // Through the window, which makes enter and leave and grabs the mouse for the widget
    // pressed. Steps: m, n move over the button, o off it; p press; r release over it, R off
    // it; 2 double click; d disable, e enable.
    void Play(const QString& steps) {
        GlowBut* found = window.findChild<GlowBut*>("bOKG");
        QWindow* w = window.windowHandle();
        for (const QChar step : steps) {
            const char c = step.toLatin1();
            if (c == 'm' || c == 'n' || c == 'o') QTest::mouseMove(&window, Where(c));
            if (c == 'p') QTest::mousePress(w, Qt::LeftButton, {}, kIn);
            if (c == 'r' || c == 'R') QTest::mouseRelease(w, Qt::LeftButton, {}, Where(c));
            if (c == '2') QTest::mouseDClick(w, Qt::LeftButton, {}, kIn);
            if (c == 'd' || c == 'e') found->SetEnabled(c == 'e');
        }
    }
    static QPoint Where(char step) {
        return step == 'n' ? kIn2 : step == 'o' || step == 'R' ? kOut : kIn;
    }
};

}  // namespace

class GlowButTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void Looks_data();
    void Looks();
    void Clicks_data();
    void Clicks();
    void ColorTexts_data();
    void ColorTexts();
    void FailedHook();
};

void GlowButTest::initTestCase() {
    Form form;
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    QVERIFY(form.button->Enabled());
    form.button->resize(40, 40);  // a button is always the size of its picture
    QCOMPARE(form.button->size(), QSize(kWide, kHigh));
}

void GlowButTest::Looks_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("glow");
    QTest::addColumn<bool>("mask");
    QTest::addColumn<bool>("shifted");

    QTest::newRow("plain") << "" << false << false << false;
    QTest::newRow("hover") << "m" << true << false << false;
    QTest::newRow("hover, moved on") << "mn" << true << false << false;
    QTest::newRow("hover, left") << "mo" << false << false << false;
    QTest::newRow("in, out, in") << "mom" << true << false << false;
    QTest::newRow("pressed") << "mp" << false << true << true;
    QTest::newRow("released") << "mpr" << false << false << false;
    QTest::newRow("released, moved again") << "mprn" << true << false << false;
    QTest::newRow("disabled") << "d" << false << true << false;
    QTest::newRow("disabled, hovered") << "dm" << false << true << false;
    QTest::newRow("disabled, pressed") << "dmp" << false << true << false;
    QTest::newRow("pressed while disabled, enabled") << "dmpe" << false << false << false;
    QTest::newRow("disabled while glowing, left, enabled") << "mdoe" << false << false << false;
    QTest::newRow("disabled while pressed, enabled") << "mpde" << false << false << false;
}

void GlowButTest::Looks() {
    QFETCH(QString, steps);
    QFETCH(bool, glow);
    QFETCH(bool, mask);
    QFETCH(bool, shifted);

    Form form;
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    form.Play(steps);
    const QImage shot = form.window.findChild<GlowBut*>("bOKG")->grab().toImage().convertToFormat(
        QImage::Format_RGB32);
    QCOMPARE(shot.size(), QSize(kWide, kHigh));

    const QImage picture = TestPicture();
    const int shift = shifted ? GlowBut::kPressShift : 0;
    for (int y = 0; y + shift < kHigh; ++y) {
        for (int x = 0; x + shift < kWide; ++x) {
            QRgb want = picture.pixel(x, y);
            if (glow) want |= qRgb(0x10, 0x10, 0xA0);
            if (mask) want &= qRgb(0xDE, 0xDE, 0xDE);
            const QRgb got = shot.pixel(x + shift, y + shift);
            if (got != want) {
                QFAIL(qPrintable(QString("pixel %1,%2 is %3, want %4")
                                     .arg(x + shift)
                                     .arg(y + shift)
                                     .arg(got, 8, 16, QChar('0'))
                                     .arg(want, 8, 16, QChar('0'))));
            }
        }
    }
}

void GlowButTest::Clicks_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<int>("clicks");

    QTest::newRow("press, release") << "mpr" << 1;
    QTest::newRow("press, release, without a move first") << "pr" << 1;
    QTest::newRow("press only") << "mp" << 0;
    QTest::newRow("two clicks") << "mprnpr" << 2;
    QTest::newRow("double click") << "m2" << 2;
    QTest::newRow("release off the button") << "mpoR" << 0;
    QTest::newRow("off and back before the release") << "mpomr" << 1;
    QTest::newRow("disabled") << "dmpr" << 0;
    QTest::newRow("pressed while disabled, released enabled") << "dmper" << 0;
    QTest::newRow("disabled while pressed") << "mpdr" << 0;
    QTest::newRow("enabled again") << "dmprepr" << 1;
}

void GlowButTest::Clicks() {
    QFETCH(QString, steps);
    QFETCH(int, clicks);

    Form form;
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    form.Play(steps);
    QCOMPARE(form.clicks.count(), clicks);
}

void GlowButTest::ColorTexts_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("read_back");
    QTest::addColumn<uint>("value");

    // Text that is not a colour leaves the glow colour at its default, FF0000.
    QTest::newRow("blue") << "FF0000"
                          << "FF0000" << 0xFF0000u;
    QTest::newRow("red loses its leading zeros") << "0000FF"
                                                 << "FF" << 0xFFu;
    QTest::newRow("lower case, eight digits") << "ffa01010"
                                              << "FFA01010" << 0xFFA01010u;
    QTest::newRow("zero") << "000000"
                          << "0" << 0u;
    QTest::newRow("nine digits") << "123456789"
                                 << "FF0000" << 0xFF0000u;
    QTest::newRow("empty") << ""
                           << "FF0000" << 0xFF0000u;
    QTest::newRow("not hexadecimal") << "12 4G"
                                     << "FF0000" << 0xFF0000u;
}

void GlowButTest::ColorTexts() {
    QFETCH(QString, text);
    QFETCH(QString, read_back);
    QFETCH(uint, value);

    CSubclass hook;
    GlowBut button(&hook);
    QCOMPARE(button.GlowColor(), QString("FF0000"));
    QCOMPARE(button.DisabledColor(), QString("E6E4E4"));
    QVERIFY(button.setProperty("GlowColor", text));
    QCOMPARE(button.property("GlowColor").toString(), read_back);
    QCOMPARE(ParseColorText(read_back).value_or(1), value);
    QCOMPARE(ColorText(value), read_back);
}

void GlowButTest::FailedHook() {
    Form form(true);
    QVERIFY(QTest::qWaitForWindowExposed(&form.window));
    QVERIFY(!form.button->HookButton());

    // No press, release or leave reaches it: no Click, and the glow outlives the hover.
    form.Play("mpr");
    QCOMPARE(form.clicks.count(), 0);
    form.Play("o");
    const QImage shot = form.window.findChild<GlowBut*>("bOKG")->grab().toImage().convertToFormat(
        QImage::Format_RGB32);
    QCOMPARE(shot.pixel(0, 0), TestPicture().pixel(0, 0) | qRgb(0x10, 0x10, 0xA0));

    // Its unhooking leaves the other hooker's record alone.
    form.button->UnhookButton();
    QVERIFY(form.hook.IsHooked(form.button));
}

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    GlowButTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "glow_but_test.moc"
