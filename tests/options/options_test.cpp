// cOptions without a run: how the option controls are read, the output names, the preview
// sizes, and the hand tools' record and undo.
#include <gtest/gtest.h>

#include "fake_windows.h"
#include "options/c_options.h"
#include "shell/shared_values.h"
#include "test_support.h"

namespace pictorra::options {
namespace {

using test::FakeWindows;

class OptionsTest : public testing::Test {
protected:
    void SetUp() override { shell::ResetSharedValues(); }
    void TearDown() override { shell::ResetSharedValues(); }

    FakeWindows windows;
    PictureBox box;
};

TEST_F(OptionsTest, NoCropMeansNoMountAndDashOrientation) {
    windows.controls.CkCrop = false;
    windows.controls.CkMount = true;
    windows.controls.OpDir = 1;
    cOptions job(windows, box);
    job.LoadSettings();
    EXPECT_FALSE(job.CropEnabled());
    EXPECT_FALSE(job.MountEnabled());
    EXPECT_EQ(job.OrientCode(), "-");
    EXPECT_EQ(job.CustomOps(), 0);
    EXPECT_EQ(job.Backups(), 0);
}

TEST_F(OptionsTest, ReadsEveryControl) {
    struct Case {
        const char* name;
        OptionControls controls;
        int32_t manual;
        std::string ratio_code, orient_code, resize_code;
        int32_t resize_size, quality;
        bool hq;
        std::string ext;
    };
    OptionControls ez;
    ez.CkCrop = true;
    ez.CkResize = true;
    ez.OpResize = 1;
    OptionControls none_selected = ez;
    none_selected.OpResize = -1;
    none_selected.QList = -1;
    none_selected.OpDir = 0;
    none_selected.OpResizeQuality = 1;
    none_selected.OpType = 1;
    OptionControls fair = ez;
    fair.QList = 0;
    fair.OpSize = 2;
    fair.OpDir = 2;
    fair.CkResize = false;
    const Case cases[] = {
        {"EzView", ez, 0, "46", "e", "-R640", 640, 85, false, ".jpg"},
        {"NothingSelected", none_selected, 0, "46", "a", "-R800", 800, 100, true, ".bmp"},
        {"Fair", fair, 0, "810", "c", "", 0, 75, false, ".jpg"},
        {"Dragged", ez, 2, "46", "m", "-R640", 640, 85, false, ".jpg"},
    };
    for (const Case& c : cases) {
        shell::gManualCrop = c.manual;
        windows.controls = c.controls;
        cOptions job(windows, box);
        job.LoadSettings();
        EXPECT_EQ(job.RatioCode(), c.ratio_code) << c.name;
        EXPECT_EQ(job.OrientCode(), c.orient_code) << c.name;
        EXPECT_EQ(job.ResizeCode(), c.resize_code) << c.name;
        EXPECT_EQ(job.ResizeSize(), c.resize_size) << c.name;
        EXPECT_EQ(job.JPGQuality(), c.quality) << c.name;
        EXPECT_EQ(job.ResizeHQ(), c.hq) << c.name;
        EXPECT_EQ(job.FileExt(), c.ext) << c.name;
    }
}

TEST_F(OptionsTest, CustomRatioNeedsBothDimensions) {
    windows.controls.CkCrop = true;
    windows.controls.OpSize = 4;
    shell::gCropSmDim = 3;
    shell::gCropLgDim = 5;
    {
        cOptions job(windows, box);
        job.LoadSettings();
        EXPECT_EQ(job.RatioCode(), "35");
        EXPECT_EQ(job.RatioSmall(), 3);
        EXPECT_FALSE(windows.square_selected);
    }
    shell::gCropSmDim = 0;
    cOptions job(windows, box);
    job.LoadSettings();
    EXPECT_EQ(job.RatioCode(), "SQ");
    EXPECT_EQ(job.RatioLarge(), 1);
    EXPECT_TRUE(windows.square_selected);
}

// Output names for the source /Pics/beach.jpg and the folder /Pics.
struct NameCase {
    const char* name;
    bool crop, mount, orient_name, resize;
    int op_size, op_resize, op_type, manual;
    int32_t custom_small, custom_large;
    std::string single, folder;
};

class NamingTest : public OptionsTest, public testing::WithParamInterface<NameCase> {};

TEST_P(NamingTest, SingleAndFolderNames) {
    const NameCase& c = GetParam();
    shell::gManualCrop = c.manual;
    shell::gCropSmDim = c.custom_small;
    shell::gCropLgDim = c.custom_large;
    windows.controls.CkCrop = c.crop;
    windows.controls.CkMount = c.mount;
    windows.controls.CkOrient = c.orient_name;
    windows.controls.CkResize = c.resize;
    windows.controls.OpSize = c.op_size;
    windows.controls.OpResize = c.op_resize;
    windows.controls.OpType = c.op_type;
    cOptions job(windows, box);
    job.LoadSettings();
    EXPECT_EQ("/Pics/" + job.DecorateName("beach") + job.FileExt(), c.single);
    EXPECT_EQ("/Pics/" + job.DecorateName("Images") + "/beach" + job.FileExt(), c.folder);
}

INSTANTIATE_TEST_SUITE_P(
    Table, NamingTest,
    testing::Values(
        NameCase{"CropCentreResize", true, false, true, true, 0, 1, 0, 0, 0, 0,
                 "/Pics/beach46e-R640.jpg", "/Pics/Images46e-R640/beach.jpg"},
        NameCase{"NoOrientInName", true, false, false, true, 0, 1, 0, 0, 0, 0,
                 "/Pics/beach46-R640.jpg", "/Pics/Images46-R640/beach.jpg"},
        NameCase{"Mount", true, true, true, true, 0, 1, 0, 0, 0, 0, "/Pics/beach46-R640.jpg",
                 "/Pics/Images46-R640/beach.jpg"},
        NameCase{"Dragged", true, false, true, false, 1, 1, 0, 1, 0, 0, "/Pics/beach57m.jpg",
                 "/Pics/Images57m/beach.jpg"},
        NameCase{"CustomBmp", true, false, false, true, 4, 2, 1, 0, 3, 5,
                 "/Pics/beach35-R800.bmp", "/Pics/Images35-R800/beach.bmp"},
        NameCase{"NothingTicked", false, false, false, false, 0, 1, 0, 0, 0, 0,
                 "/Pics/beach-.jpg", "/Pics/Images-/beach.jpg"},
        NameCase{"NoCropOrientTicked", false, false, true, true, 0, 1, 0, 0, 0, 0,
                 "/Pics/beach--R640.jpg", "/Pics/Images--R640/beach.jpg"}),
    [](const auto& info) { return std::string(info.param.name); });

// Preview display and canvas sizes, and where the view goes.
TEST_F(OptionsTest, PreviewSizes) {
    struct Case {
        int w, h;
        bool mount;
        int canvas_w, canvas_h;
    };
    const Case cases[] = {{320, 240, false, 320, 240}, {1600, 1200, false, 400, 300},
                          {1200, 1600, false, 300, 400}, {401, 100, false, 400, 100},
                          {1600, 1200, true, 400, 267},  {100, 100, true, 100, 150}};
    test::TempDir dir;
    for (const Case& c : cases) {
        const std::string path = dir.File("p.bmp");
        ASSERT_TRUE(test::MakeImage(c.w, c.h, [](int x, int y) {
                        return test::Rgb{uint8_t(x), uint8_t(y), 9};
                    }).WriteBMP(path));
        windows.controls.CkCrop = true;
        windows.controls.CkMount = c.mount;
        windows.view_visible = false;
        cOptions job(windows, box);
        job.SetDropType(kDropFile);
        job.SetOldFilePath(path);
        job.LoadSettings();
        ASSERT_EQ(job.LoadPic(), 0);
        job.ShowPic();
        EXPECT_EQ(box.surface.Width(), c.canvas_w) << c.w << "x" << c.h;
        EXPECT_EQ(box.surface.Height(), c.canvas_h) << c.w << "x" << c.h;
        EXPECT_EQ(windows.placed_height, c.canvas_h + 113);
        EXPECT_TRUE(windows.view_visible);
        EXPECT_EQ(box.crop.Visible, !c.mount);
    }
}

TEST_F(OptionsTest, MountedPreviewIsCentredOnTheMountColour) {
    test::TempDir dir;
    const std::string path = dir.File("p.bmp");
    ASSERT_TRUE(test::MakeImage(1600, 1200, [](int, int) { return test::Rgb{0, 0, 0}; })
                    .WriteBMP(path));
    shell::gMountColor = 0x0000FF;  // red
    windows.controls.CkCrop = true;
    windows.controls.CkMount = true;
    cOptions job(windows, box);
    job.SetDropType(kDropFile);
    job.SetOldFilePath(path);
    job.LoadSettings();
    ASSERT_EQ(job.LoadPic(), 0);
    job.ShowPic();
    // 400 x 267 canvas, the picture 356 x 267 at x = 22.
    EXPECT_EQ(test::PixelAt(box.surface, 21, 100), (test::Rgb{255, 0, 0}));
    EXPECT_EQ(test::PixelAt(box.surface, 22, 100), (test::Rgb{0, 0, 0}));
    EXPECT_EQ(test::PixelAt(box.surface, 377, 100), (test::Rgb{0, 0, 0}));
    EXPECT_EQ(test::PixelAt(box.surface, 378, 100), (test::Rgb{255, 0, 0}));
}

TEST_F(OptionsTest, ViewPlacement) {
    test::TempDir dir;
    const std::string path = dir.File("p.bmp");
    ASSERT_TRUE(test::MakeImage(40, 30, [](int, int) { return test::Rgb{}; }).WriteBMP(path));
    cOptions job(windows, box);
    job.SetDropType(kDropFile);
    job.SetOldFilePath(path);
    job.LoadSettings();
    ASSERT_EQ(job.LoadPic(), 0);
    job.ShowPic();  // hidden view, nothing remembered: under the main window
    EXPECT_FALSE(windows.placement.keep_position);
    EXPECT_EQ(windows.placement.left, 100);
    EXPECT_EQ(windows.placement.top, 50 + 308);  // 0.6 x 513 = 307.8
    job.ShowPic();  // visible now: stays
    EXPECT_TRUE(windows.placement.keep_position);
    windows.view_visible = false;
    shell::gViewLeft = 7;
    shell::gViewTop = 9;
    job.ShowPic();
    EXPECT_EQ(windows.placement.left, 7);
    EXPECT_EQ(windows.placement.top, 9);
}

TEST_F(OptionsTest, CropBoxFollowsOrientation) {
    test::TempDir dir;
    const std::string path = dir.File("p.bmp");
    ASSERT_TRUE(test::MakeImage(2000, 1000, [](int, int) { return test::Rgb{}; }).WriteBMP(path));
    struct Case {
        int orient;
        double left, top;
    };
    // Preview 400 x 200, box 300 x 200.
    for (const Case& c : {Case{0, 0, 0}, Case{1, 100, 0}, Case{2, 100, 0}, Case{3, 0, 0},
                          Case{4, 50, 0}}) {
        windows.controls.CkCrop = true;
        windows.controls.OpDir = c.orient;
        cOptions job(windows, box);
        job.SetDropType(kDropFile);
        job.SetOldFilePath(path);
        job.LoadSettings();
        ASSERT_EQ(job.LoadPic(), 0);
        job.ShowPic();
        EXPECT_EQ(box.crop.Width, 300);
        EXPECT_EQ(box.crop.Height, 200);
        EXPECT_EQ(box.crop.Left, c.left) << c.orient;
        EXPECT_EQ(box.crop.Top, c.top) << c.orient;
        EXPECT_EQ(windows.wide, "1500");
        EXPECT_EQ(windows.high, "1000");
    }
}

class ToolsTest : public OptionsTest {
protected:
    // A 3000 x 2000 picture shown 400 x 267 (no crop), or 600 x 400 when the box is set so.
    void Load(int w, int h) {
        const std::string path = dir.File("p.bmp");
        ASSERT_TRUE(test::MakeImage(w, h, [](int x, int y) {
                        return test::Rgb{uint8_t(x * 7), uint8_t(y * 3), 128};
                    }).WriteBMP(path));
        job = std::make_unique<cOptions>(windows, box);
        job->SetDropType(kDropFile);
        job->SetOldFilePath(path);
        job->LoadSettings();
        ASSERT_EQ(job->LoadPic(), 0);
        job->ShowPic();
    }
    test::TempDir dir;
    std::unique_ptr<cOptions> job;
};

TEST_F(ToolsTest, RecordAndUndo) {
    Load(300, 200);
    const image::cImage original = box.surface;
    for (int i = 0; i < 4; ++i) job->DoAction(kOpDarken);
    EXPECT_EQ(job->CustomOps(), 4);
    EXPECT_EQ(job->Backups(), 3);
    EXPECT_TRUE(windows.undo_enabled);
    for (int i = 0; i < 4; ++i) job->RemoveLastAction();
    // Three undos restore three steps; the fourth does nothing and one tool stays recorded.
    EXPECT_EQ(job->Backups(), 0);
    EXPECT_EQ(job->CustomOps(), 1);
    image::cImage once = original;
    once.DarkenPic(kDarkenPart255);
    EXPECT_EQ(test::PixelAt(box.surface, 10, 10), test::PixelAt(once, 10, 10));
    job->ClearCustomOps();
    EXPECT_EQ(job->CustomOps(), 0);
    EXPECT_EQ(job->Backups(), 0);
}

TEST_F(ToolsTest, TwentySecondToolChangesThePreviewOnly) {
    Load(30, 20);
    for (int i = 0; i < 22; ++i) job->DoAction(i % 2 ? kOpLighten : kOpDarken);
    EXPECT_EQ(job->CustomOps(), 21);
    EXPECT_EQ(job->Backups(), 3);
    EXPECT_EQ(job->OpType(20), kOpDarken);  // the 21st; the 22nd is not kept
    EXPECT_FALSE(job->AddCustomOp(kOpLighten, {}));
}

TEST_F(ToolsTest, ScalesToolsBetweenPreviewAndPicture) {
    windows.controls.CkCrop = true;
    Load(3000, 2000);  // shown 400 x 267, the 4 x 6 crop box over all of it
    job->DoBorder(0x00FF00, 15);
    job->DoText("Hi", 0xFF, 10, 24, true, 200, 100, "DejaVu Sans");
    ASSERT_EQ(job->CustomOps(), 2);
    EXPECT_EQ(job->OpRecord(0).LThick, 15);
    EXPECT_EQ(job->OpRecord(0).LCol, 0x00FF00u);
    const CustomOpInfo& text = job->OpRecord(1);
    EXPECT_EQ(text.XPt, 1500);                     // 200 x 3000 / 400
    EXPECT_EQ(text.YPt, Nearest(100 * 2000 / 267.0));
    EXPECT_EQ(text.FontH, 24);
    EXPECT_TRUE(text.IfBold);
    EXPECT_EQ(text.sFontName, "DejaVu Sans");
    // The border band in the preview is 15 x 400 / 3000 = 2 pixels wide, in the crop box.
    const CropBox c = box.crop;
    ASSERT_TRUE(c.Visible);
    const int left = int(c.Left);
    EXPECT_EQ(test::PixelAt(box.surface, left, int(c.Top) + 50), (test::Rgb{0, 255, 0}));
}

TEST_F(ToolsTest, NothingWithoutAPreview) {
    cOptions idle(windows, box);
    idle.DoAction(kOpLighten);
    idle.DoBevel(10, 60, 60);
    EXPECT_EQ(idle.CustomOps(), 0);
    EXPECT_EQ(idle.Backups(), 0);
}

}  // namespace
}  // namespace pictorra::options
