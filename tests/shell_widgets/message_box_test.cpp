// The message boxes: title, icon, buttons, plain text, the answer, and an owner closed mid-box.
#include "shell/message_box.h"

#include <QMessageBox>
#include <QPushButton>
#include <memory>

#include "widget_test_main.h"

using namespace pictorra::shell;
using testing::OnNextModal;

namespace {
struct Seen {
    QString title, text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    QWidget* parent = nullptr;
};
}  // namespace

class MessageBoxTest : public QObject {
    Q_OBJECT
private slots:
    // Each row: which box, the button pressed (NoButton: Escape), what it shows and answers.
    void BoxesShowTheTextPlainAndAnswer() {
        enum Kind { kAsk, kInform, kPlain };
        const std::string text = "<b>IMG_01.JPG</b> & 1 < 2\nsecond line";
        const QMessageBox::StandardButtons ok_cancel = QMessageBox::Ok | QMessageBox::Cancel;
        // clang-format off
        const struct { Kind kind; QMessageBox::StandardButton press; QMessageBox::Icon icon;
                       QMessageBox::StandardButtons buttons; bool answer; } rows[] = {
            {kAsk, QMessageBox::Ok, QMessageBox::Question, ok_cancel, true},
            {kAsk, QMessageBox::Cancel, QMessageBox::Question, ok_cancel, false},
            {kAsk, QMessageBox::NoButton, QMessageBox::Question, ok_cancel, false},
            {kInform, QMessageBox::Ok, QMessageBox::Information, QMessageBox::Ok, false},
            {kPlain, QMessageBox::NoButton, QMessageBox::NoIcon, QMessageBox::Ok, false},
        };
        // clang-format on
        QWidget owner;
        QtMessageBoxes boxes(&owner);
        for (const auto& row : rows) {
            Seen seen;
            OnNextModal<QMessageBox>([&seen, press = row.press](QMessageBox* box) {
                seen = {box->windowTitle(),     box->text(),       box->icon(),
                        box->standardButtons(), box->textFormat(), box->parentWidget()};
                if (press == QMessageBox::NoButton)
                    QTest::keyClick(box, Qt::Key_Escape);
                else
                    box->button(press)->click();
            });
            bool answer = false;
            if (row.kind == kAsk) answer = boxes.Ask(text);
            if (row.kind == kInform) boxes.Inform(text);
            if (row.kind == kPlain) boxes.Plain(text);
            QCOMPARE(seen.title, QString("Pictorra"));
            QCOMPARE(seen.text, QString::fromStdString(text));
            QCOMPARE(seen.format, Qt::PlainText);
            QCOMPARE(seen.icon, row.icon);
            QCOMPARE(seen.buttons, row.buttons);
            QCOMPARE(seen.parent, &owner);
            QCOMPARE(answer, row.answer);
        }
    }

    // The owner closing while a box is up takes the box with it; the question counts as
    // cancelled and nothing is deleted twice.
    void OwnerClosedWhileAskingCancels() {
        auto owner = std::make_unique<QWidget>();
        QtMessageBoxes boxes(owner.get());
        OnNextModal<QMessageBox>([&owner](QMessageBox*) { owner.reset(); });
        QVERIFY(!boxes.Ask("Overwrite?"));
        QVERIFY(!owner);
    }
};

PICTORRA_WIDGET_TEST_MAIN(MessageBoxTest)
#include "message_box_test.moc"
