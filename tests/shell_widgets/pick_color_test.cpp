// The colour chooser: the run's custom colours, where the dialog starts and what it returns (as
// colour references, whose low byte is red).
#include "shell/pick_color.h"

#include <QPushButton>
#include <QSettings>

#include "widget_test_main.h"

using namespace pictorra::shell;
using testing::OnNextModal;

class PickColorTest : public QObject {
    Q_OBJECT
private slots:
    // Runs first: Qt's settings file holds custom colours from an earlier run, and Qt reads them;
    // after ResetCustomColors all 16 are black anyway.
    void ResetBlackensWhatQtSaved() {
        {
            QSettings saved(QSettings::UserScope, "QtProject");
            for (int i = 0; i < 16; ++i)
                saved.setValue(QString("Qt/customColors/%1").arg(i), QColor(200, i, 7).rgb());
        }
        QCOMPARE(QColorDialog::customCount(), 16);
        QCOMPARE(QColorDialog::customColor(5), QColor(200, 5, 7));
        ResetCustomColors();
        for (int i = 0; i < 16; ++i) QCOMPARE(QColorDialog::customColor(i), QColor(Qt::black));
    }

    // Each row: the initial colour (if any), the mount colour, the colour chosen (none: cancel),
    // the colour the dialog starts at and the result.
    void StartsAtInitialElseMountAndReturnsTheChoice() {
        const struct {
            std::optional<uint32_t> initial;
            uint32_t mount;
            std::optional<QColor> choose;
            QColor start;
            int32_t result;
        } rows[] = {
            {0x0000ff, 0xffffff, QColor(0, 128, 255), QColor(255, 0, 0), 0xff8000},
            {std::nullopt, 0x102030, QColor(0x30, 0x20, 0x10), QColor(0x30, 0x20, 0x10), 0x102030},
            {std::nullopt, 0x000000, std::nullopt, QColor(0, 0, 0), -1},
            {0xffffff, 0x000000, std::nullopt, QColor(255, 255, 255), -1},
        };
        for (const auto& row : rows) {
            QColor start;
            bool native = true;
            OnNextModal<QColorDialog>([&](QColorDialog* dialog) {
                start = dialog->currentColor();
                native = !dialog->testOption(QColorDialog::DontUseNativeDialog);
                if (!row.choose) return dialog->reject();
                dialog->setCurrentColor(*row.choose);
                dialog->accept();
            });
            QCOMPARE(PickColor(nullptr, row.initial, row.mount), row.result);
            QCOMPARE(start, row.start);
            QVERIFY(!native);
        }
    }

    // A colour the user adds to the custom colours in one dialog is there in the next.
    void CustomColoursCarryToTheNextDialog() {
        ResetCustomColors();
        const QColor added(12, 34, 56);
        bool add_shown = false;
        OnNextModal<QColorDialog>([&](QColorDialog* dialog) {
            dialog->setCurrentColor(added);
            for (QPushButton* b : dialog->findChildren<QPushButton*>()) {
                if (!b->text().contains("Custom")) continue;
                add_shown = b->isVisibleTo(dialog);
                b->click();
            }
            dialog->reject();
        });
        QCOMPARE(PickColor(nullptr, std::nullopt, 0), -1);
        QVERIFY(add_shown);
        QColor seen;
        OnNextModal<QColorDialog>([&](QColorDialog* dialog) {
            seen = QColorDialog::customColor(0);
            dialog->reject();
        });
        QCOMPARE(PickColor(nullptr, std::nullopt, 0), -1);
        QCOMPARE(seen, added);
    }
};

PICTORRA_WIDGET_TEST_MAIN(PickColorTest)
#include "pick_color_test.moc"
