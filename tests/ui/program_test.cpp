// The program's frame on the offscreen platform: start and end in order, the JPEG library check,
// the settings dialog with its sound box, the helpers the windows share, dragging by the label
// bar, and paths that arrive while a dialog is open.
#include "ui/program.h"

#include <QColorDialog>
#include <QComboBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <map>

#include "shell/drop_sound.h"
#include "shell/shared_values.h"
#include "ui_fixture.h"

using namespace pictorra;
using namespace pictorra::ui;

using namespace pictorra::ui::test;

namespace {

void Touch(const std::string& path) { std::ofstream(path) << "RIFF"; }

}  // namespace

class ProgramTest : public QObject {
    Q_OBJECT
private slots:
    void StartsWithTheMainWindowShownAndEndsInOrder() {
        Fixture f;
        f.store.values = {{"Size2", "700"}, {"CropSmDim", "5"}, {"CropLgDim", "7"}};
        QVERIFY(f.program->StartProgram());
        QVERIFY(f.program->F1()->isVisible());
        for (QWidget* w :
             {static_cast<QWidget*>(f.program->FShow()), static_cast<QWidget*>(f.program->FSets()),
              static_cast<QWidget*>(f.program->FTools())}) {
            QVERIFY(w != nullptr);
            QVERIFY(!w->isVisible());
        }
        QCOMPARE(shell::gSoundPath, f.Path("thwoop.wav"));
        QCOMPARE(shell::gHelpPath, f.Path("pictorra.chm"));
        QCOMPARE(shell::gTwipsX, 15);
        // The settings reached the main window and the dialog on the way.
        QCOMPARE(Find<QLabel>(f.program->F1(), "LabSizes(1)")->text(), QString("700px"));
        QCOMPARE(Find<QRadioButton>(f.program->F1(), "OpSize(4)")->text(), QString("5 x 7"));
        QCOMPARE(Find<QLineEdit>(f.program->FSets(), "TPix(4)")->text(), QString("7"));

        // The end, with the image view and the tool dialog on the screen.
        f.program->FShow()->show();
        f.program->FTools()->show();
        std::vector<std::string> order;
        for (QWidget* w :
             {static_cast<QWidget*>(f.program->FTools()), static_cast<QWidget*>(f.program->FShow()),
              static_cast<QWidget*>(f.program->F1()), static_cast<QWidget*>(f.program->FSets())}) {
            connect(w, &QObject::destroyed,
                    [&order, name = w->objectName().toStdString()] { order.push_back(name); });
        }
        QPointer<controls::CSubclass> hook = f.program->Hook();
        QSignalSpy ended(f.program.get(), &Program::Ended);
        f.program->EndProgram();
        QCOMPARE(order, (std::vector<std::string>{"FSets", "FTools", "FShow", "F1"}));
        QCOMPARE(f.stacking.calls, (std::vector<std::string>{"bottom FTools", "bottom FShow"}));
        QVERIFY(hook.isNull());
        QCOMPARE(ended.count(), 1);
        f.program->EndProgram();  // a second end changes nothing
        QCOMPARE(ended.count(), 1);
    }

    // Without a JPEG encoder: the main window is seen, then the message, then nothing is left.
    void MissingJpegLibraryShowsItsMessageAndEnds() {
        Fixture f(false);
        QSignalSpy ended(f.program.get(), &Program::Ended);
        QVERIFY(!f.program->StartProgram());
        QCOMPARE(f.boxes.shown.size(), size_t(1));
        QCOMPARE(f.boxes.shown[0],
                 std::string(kGraphicsMessage) + kGraphicsAddressText + kGraphicsAddress);
        QCOMPARE(ended.count(), 1);
        QVERIFY(f.program->F1() == nullptr && f.program->FShow() == nullptr &&
                f.program->FSets() == nullptr && f.program->FTools() == nullptr);
        QVERIFY(!f.program->Running());
    }

    // The platform's close (Alt+F4, the task bar) ends the program the same orderly way.
    void PlatformCloseRunsEndProgram() {
        Fixture f;
        QVERIFY(f.program->StartProgram());
        QSignalSpy ended(f.program.get(), &Program::Ended);
        f.program->F1()->close();
        QVERIFY(ended.wait(1000));
        QVERIFY(f.program->F1() == nullptr);
    }

    void SettingsDialogSavesAndSwitchesTheSoundAtOnce() {
        Fixture f;
        QVERIFY(f.program->StartProgram());
        SettingsDialog* dialog = f.program->FSets();
        QCheckBox* sound = Find<QCheckBox>(dialog, "CkSound");
        const std::string on = f.Path("thwoop.wav"), off = f.Path("nothwoop.wav");

        // No sound file at all: grey, and a click moves nothing.
        f.program->OpenSettings();
        QVERIFY(dialog->isVisible());
        QCOMPARE(dialog->SoundValue(), 2);
        sound->click();
        QVERIFY(!std::filesystem::exists(on) && !std::filesystem::exists(off));

        // Sound on: unticking renames at once, and reopening shows it off.
        Touch(on);
        f.program->OpenSettings();
        QCOMPARE(dialog->SoundValue(), 1);
        sound->click();
        QVERIFY(!std::filesystem::exists(on) && std::filesystem::exists(off));
        dialog->hide();
        f.program->OpenSettings();
        QCOMPARE(dialog->SoundValue(), 0);

        // Both files and the box unticked: the sound file replaces the muted one.
        Touch(on);
        std::ofstream(off) << "old muted";
        f.program->OpenSettings();
        QCOMPARE(dialog->SoundValue(), 1);
        sound->click();
        QVERIFY(!std::filesystem::exists(on));
        QCOMPARE(std::filesystem::file_size(off), std::uintmax_t(4));

        // A value set while the dialog is hidden describes the files and moves none.
        dialog->hide();
        dialog->SetSoundValue(1);
        sound->click();
        QVERIFY(!std::filesystem::exists(on) && std::filesystem::exists(off));

        // Save: the presets and the custom ratio go to the store and the main window; the custom
        // option becomes available only when the ratio group is in use.
        f.program->OpenSettings();
        Find<QLineEdit>(dialog, "TPix(2)")->setText(" 450 ");
        Find<QLineEdit>(dialog, "TPix(3)")->setText("5");
        Find<QLineEdit>(dialog, "TPix(4)")->setText("7");
        QRadioButton* custom = Find<QRadioButton>(f.program->F1(), "OpSize(4)");
        QTest::mouseClick(Find<controls::GlowBut>(dialog, "bOKG(0)"), Qt::LeftButton);
        QVERIFY(!dialog->isVisible());
        QCOMPARE(f.store.values["Size3"], std::string("450"));
        QCOMPARE(f.store.values["CropLgDim"], std::string("7"));
        QCOMPARE(Find<QLabel>(f.program->F1(), "LabSizes(2)")->text(), QString("450px"));
        QCOMPARE(custom->text(), QString("5 x 7"));
        QVERIFY(!custom->isEnabled());

        // Typed custom values survive a close without saving; the presets show what is in force.
        f.program->OpenSettings();
        Find<QLineEdit>(dialog, "TPix(0)")->setText("999");
        Find<QLineEdit>(dialog, "TPix(3)")->setText("3");
        QTest::mouseClick(Find<controls::GlowBut>(dialog, "bOKG(1)"), Qt::LeftButton);
        f.program->OpenSettings();
        QCOMPARE(Find<QLineEdit>(dialog, "TPix(0)")->text(), QString("260"));
        QCOMPARE(Find<QLineEdit>(dialog, "TPix(3)")->text(), QString("3"));
    }

    // The photo details choice: the stored word shows at start, a choice made in the list is
    // saved with OK as its word and is in force for the next job; Cancel keeps what is in force.
    void SettingsDialogKeepsThePhotoDetailsChoice() {
        const struct {
            const char* stored;  // in the store at start; "" for nothing
            int shown;           // the list's entry then
            int key_downs;       // presses of the down arrow in the list
            bool save;           // OK, else Cancel
            const char* saved;   // the store afterwards
            image::MetadataChoice in_force;
        } cases[] = {
            {"", 0, 0, true, "no-location", image::MetadataChoice::kNoLocation},
            {"", 0, 1, true, "keep-all", image::MetadataChoice::kKeepAll},
            {"keep-all", 1, 1, true, "none", image::MetadataChoice::kNone},
            {"none", 2, 0, true, "none", image::MetadataChoice::kNone},
            {"rubbish", 0, 2, false, "rubbish", image::MetadataChoice::kNoLocation},
        };
        for (const auto& c : cases) {
            const std::string row = std::to_string(&c - cases);
            Fixture f;
            if (*c.stored) f.store.values["Metadata"] = c.stored;
            QVERIFY(f.program->StartProgram());
            SettingsDialog* dialog = f.program->FSets();
            auto* list = Find<QComboBox>(dialog, "CbMetadata");
            QCOMPARE(list->count(), 3);
            QVERIFY2(list->currentIndex() == c.shown, row.c_str());
            f.program->OpenSettings();
            QVERIFY2(list->currentIndex() == c.shown, row.c_str());
            for (int i = 0; i < c.key_downs; ++i) QTest::keyClick(list, Qt::Key_Down);
            QTest::mouseClick(Find<controls::GlowBut>(dialog, c.save ? "bOKG(0)" : "bOKG(1)"),
                              Qt::LeftButton);
            QVERIFY(!dialog->isVisible());
            const std::string saved =
                f.store.values.contains("Metadata") ? f.store.values["Metadata"] : "";
            QVERIFY2(saved == c.saved, (row + ": " + saved).c_str());
            QVERIFY2(shell::gMetadata == c.in_force, row.c_str());
            // Opened again, the list shows the choice in force.
            f.program->OpenSettings();
            QVERIFY2(dialog->Metadata() == c.in_force, row.c_str());
            dialog->hide();
        }
    }

    void SharedHelpersKeepTheirOrder() {
        Fixture f;
        QVERIFY(f.program->StartProgram());
        Program& p = *f.program;

        // Hidden view: its place is kept, the tool dialog is still sent back and hidden.
        shell::gViewLeft = 11;
        p.HideImageView();
        QCOMPARE(f.stacking.calls, (std::vector<std::string>{"bottom FShow", "bottom FTools"}));
        QCOMPARE(shell::gViewLeft, 11);

        p.FShow()->move(101, 40);
        p.FShow()->show();
        p.F1()->SetMoverVisible(true);
        f.stacking.calls.clear();
        p.HideImageView();
        QCOMPARE(shell::gViewLeft, p.FShow()->x() * 15);
        QCOMPARE(shell::gViewTop, p.FShow()->y() * 15);
        QVERIFY(!p.FShow()->isVisible());
        QVERIFY(!Find<QFrame>(p.F1(), "FrMover")->isVisible());

        // The tool dialog: nothing when hidden; hiding it keeps a shown view on top.
        f.stacking.calls.clear();
        p.HideToolDialog();
        QVERIFY(f.stacking.calls.empty());
        p.FShow()->show();
        p.FTools()->show();
        p.HideToolDialog();
        QCOMPARE(f.stacking.calls, (std::vector<std::string>{"bottom FTools", "top FShow"}));

        // The mount colour's range, manual crop label, undo button.
        const struct {
            int64_t color;
            uint32_t after;
        } colors[] = {{0x123456, 0x123456}, {0, 0}, {-1, 0}, {0x1000000, 0}};
        for (const auto& row : colors) {
            p.SetMountColor(row.color);
            QCOMPARE(shell::gMountColor, row.after);
        }
        p.SetManualCrop(2);
        QVERIFY(!Find<QLabel>(p.F1(), "LabManual")->isHidden());
        p.SetManualCrop(0);
        QVERIFY(Find<QLabel>(p.F1(), "LabManual")->isHidden());
        auto* undo = Find<controls::GlowBut>(p.FShow(), "bUndoG");
        QVERIFY(!undo->Enabled());
        p.EnableUndo(true);
        QVERIFY(undo->Enabled());
    }

    // Qt keeps custom colours in its own settings; every run starts with sixteen black ones.
    void ColourTableStartsBlackOnEveryRun() {
        QColorDialog::setCustomColor(3, Qt::white);
        Fixture f;
        QVERIFY(f.program->StartProgram());
        for (int i = 0; i < QColorDialog::customCount(); ++i)
            QCOMPARE(QColorDialog::customColor(i), QColor(Qt::black));
    }

    // Where the window system will not move a window, it follows the label bar's drag itself.
    void LabelBarDragsEveryWindow() {
        Fixture f;
        QVERIFY(f.program->StartProgram());
        for (FormWindow* w : {static_cast<FormWindow*>(f.program->F1()),
                              static_cast<FormWindow*>(f.program->FShow()),
                              static_cast<FormWindow*>(f.program->FSets()),
                              static_cast<FormWindow*>(f.program->FTools())}) {
            w->show();
            w->move(50, 60);
            QVERIFY(QTest::qWaitForWindowExposed(w));
            QLabel* bar = Find<QLabel>(w, "LabBar");
            QTest::mousePress(bar, Qt::LeftButton, {}, QPoint(40, 8));
            QTest::mouseMove(bar, QPoint(70, 28));
            QTest::mouseRelease(bar, Qt::LeftButton, {}, QPoint(70, 28));
            QCOMPARE(w->pos(), QPoint(80, 80));
        }
    }

    // Paths from a second start wait while a dialog is open and are then taken in, in order.
    void OfferedPathsWaitForAnOpenDialog() {
        Fixture f;
        QVERIFY(f.program->StartProgram());
        QStringList delivered;
        connect(f.program.get(), &Program::PathDelivered,
                [&delivered](const QString& path) { delivered << path; });
        QMessageBox box(QMessageBox::Information, "Pictorra", "busy", QMessageBox::Ok);
        QTimer::singleShot(0, [&] {
            f.program->OfferPath("/a");
            f.program->OfferPath("/b");
            QVERIFY(delivered.isEmpty());
            box.accept();
        });
        box.exec();
        QTRY_COMPARE(delivered, QStringList({"/a", "/b"}));
    }
};

QTEST_MAIN(ProgramTest)
#include "program_test.moc"
