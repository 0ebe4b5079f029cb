// The hand tools in the image view: each tool on the preview and in the record, undo, the full
// list, border and bevel around the crop box or the whole preview, the tool dialog's messages,
// text placed by a click, the font sample, and outputs equal to pictorra-cli --tool.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QtTest>
#include <filesystem>

#include "options/geometry.h"
#include "options/tool_dialog_model.h"
#include "test_support.h"
#include "ui/tool_dialog.h"
#include "ui_fixture.h"

using namespace pictorra;
using namespace pictorra::ui;
using namespace pictorra::ui::test;
namespace fs = std::filesystem;

namespace {

struct ToolsFixture : Fixture {
    MainWindow* w = nullptr;
    ImageView* view = nullptr;
    ToolDialog* tools = nullptr;
    std::string picture;

    // A 1200 x 800 picture (shown 400 x 267), cropped to 4 x 6 unless told otherwise.
    explicit ToolsFixture(bool crop = true) {
        if (!program->StartProgram()) qFatal("no start");
        w = program->F1(), view = program->FShow(), tools = program->FTools();
        fs::create_directory(Path("pics"));
        picture = Path("pics/beach.bmp");
        if (pictorra::test::Photo(1200, 800, 5).WriteBMP(picture) != 0) qFatal("no picture");
        if (crop) {
            Find<QCheckBox>(w, "CkCrop")->click();
            Find<QRadioButton>(w, "OpSize(3)")->click();  // square: a visible box
        }
        w->TakePath(QString::fromStdString(picture));
    }
    const options::cOptions& Job() const { return *w->Job(); }
    std::vector<uint8_t> Shown() const { return pictorra::test::Bytes(program->Box().surface); }
    void Tool(int index) {
        QTest::mouseClick(Find<QWidget>(view, QString("ImTool(%1)").arg(index)), Qt::LeftButton);
    }
    void Ok() { QTest::mouseClick(Find<controls::GlowBut>(tools, "bOKG(0)"), Qt::LeftButton); }
    void Click(QPoint at) {
        QWidget* pic = Find<QWidget>(view, "Pic1");
        QTest::mousePress(pic, Qt::LeftButton, {}, at);
        QTest::mouseRelease(pic, Qt::LeftButton, {}, at);
    }
    // Text "Hi" in DejaVu Sans, armed and waiting for its click.
    void ArmText() {
        Tool(6);
        Find<QLineEdit>(tools, "TCap")->setText("Hi");
        Find<QComboBox>(tools, "BoxFont")->setCurrentText("DejaVu Sans");
        Ok();
    }
};

}  // namespace

class ToolsTest : public QObject {
    Q_OBJECT

private slots:
    void EachToolChangesThePreviewAndRecordsOnce() {
        ToolsFixture f;
        auto* undo = Find<controls::GlowBut>(f.view, "bUndoG");
        QVERIFY(!undo->Enabled());
        for (int i = 0; i < 6; ++i) {
            const std::vector<uint8_t> before = f.Shown();
            f.Tool(i);
            if (i >= 4) {
                QVERIFY(f.tools->isVisible());
                f.Ok();
                QVERIFY(!f.tools->isVisible());
            }
            QVERIFY2(f.Shown() != before, qPrintable(QString("tool %1").arg(i)));
            QCOMPARE(f.Job().CustomOps(), i + 1);
            QCOMPARE(f.Job().OpType(i), i);
            QVERIFY(undo->Enabled());
        }
        QCOMPARE(f.Job().OpRecord(4).LThick, 20);

        // Four undos: the button goes grey after the third, the fourth changes nothing.
        for (int i = 0; i < 4; ++i) QTest::mouseClick(undo, Qt::LeftButton);
        QVERIFY(!undo->Enabled());
        QCOMPARE(f.Job().CustomOps(), 3);

        // The 22nd use shows but is not recorded.
        for (int i = 0; i < 19; ++i) f.Tool(0);
        QCOMPARE(f.Job().CustomOps(), 21);
        const std::vector<uint8_t> before = f.Shown();
        f.Tool(1);
        QVERIFY(f.Shown() != before);
        QCOMPARE(f.Job().CustomOps(), 21);
    }

    // Around the crop box while there is one, around the whole preview otherwise.
    void BorderAroundTheCropBoxOrThePreview() {
        for (const bool crop : {true, false}) {
            ToolsFixture f(crop);
            const options::CropBox box = f.program->Box().crop;
            QCOMPARE(box.Visible, crop);
            f.Tool(4);
            Find<QLineEdit>(f.tools, "TBorder")->setText("30");  // 10 pixels in the preview
            f.Ok();
            const image::cImage& shown = f.program->Box().surface;
            const pictorra::test::Rgb black{0, 0, 0};
            // The band fades inwards: its outermost pixels are the colour itself.
            const int left = crop ? options::Nearest(box.Left) : 0;
            const int top = crop ? options::Nearest(box.Top) : 0;
            QCOMPARE(pictorra::test::PixelAt(shown, left, 100), black);
            QCOMPARE(pictorra::test::PixelAt(shown, 200, top), black);
            QVERIFY(pictorra::test::PixelAt(shown, left + 5, 100) != black);
            if (crop) QVERIFY(pictorra::test::PixelAt(shown, int(box.Left) - 5, 100) != black);
        }
    }

    void DialogMessagesAndPanels() {
        ToolsFixture f;
        const struct {
            int tool;
            const char* box;
            const char* entry;
            const char* message;
        } rows[] = {
            {4, "TBorder", "100", options::kBorderInvalidMessage},
            {5, "TBev", "abc", options::kBevelInvalidMessage},
            {6, "TCap", "", options::kNoTextMessage},
        };
        for (const auto& row : rows) {
            f.boxes.shown.clear();
            f.Tool(row.tool);
            Find<QLineEdit>(f.tools, row.box)->setText(row.entry);
            f.Ok();
            QCOMPARE(f.boxes.shown, std::vector<std::string>{row.message});
            QVERIFY(f.tools->isVisible());  // open for the correction
        }
        // Apply twice while the text waits for its click.
        f.ArmText();
        QVERIFY(Find<QFrame>(f.tools, "FrClick")->isVisible() && f.view->TextClickPending());
        f.boxes.shown.clear();
        f.Ok();
        QCOMPARE(f.boxes.shown, std::vector<std::string>{options::kClickImageMessage});
        // The close button keeps the pending click; cancel ends it.
        QTest::mouseClick(Find<controls::GlowBut>(f.tools, "bWindowG"), Qt::LeftButton);
        QVERIFY(!f.tools->isVisible() && f.view->TextClickPending());
        f.Tool(6);
        QTest::mouseClick(Find<controls::GlowBut>(f.tools, "bOKG(1)"), Qt::LeftButton);
        QVERIFY(!f.tools->isVisible() && !f.view->TextClickPending());
        QVERIFY(!Find<QFrame>(f.tools, "FrClick")->isVisible());
        // The "?" tells how text works.
        f.boxes.shown.clear();
        QTest::mouseClick(Find<QLabel>(f.tools, "LabInfo"), Qt::LeftButton);
        QCOMPARE(f.boxes.shown, std::vector<std::string>{options::kToolHelpMessage});
    }

    // The click counts from the crop box's corner; one left of the box places nothing.
    void TextGoesWhereItIsClicked() {
        ToolsFixture f;
        const options::CropBox box = f.program->Box().crop;
        f.ArmText();
        f.Click(QPoint(int(box.Left) - 3, 40));
        QVERIFY(!f.view->TextClickPending());
        QCOMPARE(f.Job().CustomOps(), 0);
        f.ArmText();
        f.Click(QPoint(int(box.Left) + 10, int(box.Top) + 20));
        QCOMPARE(f.Job().CustomOps(), 1);
        const options::CustomOpInfo& text = f.Job().OpRecord(0);
        // 10, 20 in a preview a third of the picture's size.
        QCOMPARE(std::tuple(text.sText, text.XPt, text.YPt, text.FontW, text.FontH),
                 std::tuple(std::string("Hi"), 30, 60, 10, 24));
        QVERIFY(!f.tools->isVisible());
    }

    // The sample shows "Ab" at the size the preview will draw it, or nothing.
    void SampleFollowsTheSizes() {
        ToolsFixture f;
        f.Tool(6);
        auto* sample = Find<QLabel>(f.tools, "PicT");
        const auto ink_rows = [sample] {
            const QImage image = sample->pixmap().toImage();
            int rows = 0;
            for (int y = 0; y < image.height(); ++y) {
                bool ink = false;
                for (int x = 0; x < image.width(); ++x)
                    ink |= image.pixel(x, y) != qRgb(255, 255, 255);
                rows += ink;
            }
            return rows;
        };
        Find<QLineEdit>(f.tools, "TSize(1)")->setText("90");  // 30 in the preview
        const int tall = ink_rows();
        Find<QLineEdit>(f.tools, "TSize(1)")->setText("45");  // 15
        const int small = ink_rows();
        QVERIFY2(tall > small && small > 0, qPrintable(QString("%1 %2").arg(tall).arg(small)));
        Find<QLineEdit>(f.tools, "TSize(0)")->setText("0");
        QVERIFY(sample->pixmap().isNull());
    }

    // Tools recorded in the window are replayed on the output as pictorra-cli replays them.
    void OutputEqualsTheCommandLines() {
        ToolsFixture f;
        f.Tool(0);
        f.Tool(4);
        Find<QLineEdit>(f.tools, "TBorder")->setText("12");
        f.Ok();
        f.Tool(5);
        Find<QComboBox>(f.tools, "BoxBev")->setCurrentIndex(1);
        Find<QLineEdit>(f.tools, "TBev")->setText("9");
        f.Ok();
        const options::CropBox box = f.program->Box().crop;
        f.ArmText();
        f.Click(QPoint(int(box.Left) + 10, int(box.Top) + 20));
        QCOMPARE(f.Job().CustomOps(), 4);
        QTest::mouseClick(Find<controls::GlowBut>(f.w, "bProc"), Qt::LeftButton);

        const std::string cli_dir = f.Path("cli");
        fs::create_directory(cli_dir);
        fs::copy_file(f.picture, cli_dir + "/beach.bmp");
        QProcess cli;
        cli.start(PICTORRA_CLI, {"--crop", "square", "--quiet", "--tool", "lighten", "--tool",
                                 "border:12:000000", "--tool", "bevel:9:Pipe-shaped", "--tool",
                                 "text:30:60:10:24:000000:DejaVu Sans:Hi",
                                 QString::fromStdString(cli_dir + "/beach.bmp")});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        const std::string name = "beachSQe.jpg";
        QVERIFY(fs::exists(f.Path("pics/") + name));
        QCOMPARE(pictorra::test::ReadFileBytes(f.Path("pics/") + name),
                 pictorra::test::ReadFileBytes(cli_dir + "/" + name));
    }
};

QTEST_MAIN(ToolsTest)
#include "tools_test.moc"
