// cOptions against a scripted stand-in for the windows: output names, the preview and crop box,
// hand tools, runs (labels, messages, the error log, questions), and runs when things go wrong.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <functional>
#include <map>
#include <tuple>

#include "exif_support.h"
#include "options/c_options.h"
#include "shell/shared_values.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace pictorra::options {
namespace {

using Bytes = std::vector<uint8_t>;

// Controls set and answers given by the test; everything the job shows is recorded.
struct FakeWindows : JobWindows {
    OptionControls controls;
    bool answer = false;  // to every question: OK or Cancel
    std::vector<std::string> asked, informed;
    std::string size, report, new_name;  // size: "WxH"
    std::string events;  // every report "[text]" and finished picture "n/total " in turn
    bool view_visible = false, undo_enabled = false, square_selected = false;
    ViewPlacement placement;
    int event_passes = 0;
    std::function<void()> on_events;  // runs in the first event pass between pictures
    bool close = false;

    OptionControls ReadControls() override { return controls; }
    void SelectSquareRatio() override { square_selected = true; }
    void SetSizeDisplay(const std::string& w, const std::string& h) override { size = w + "x" + h; }
    void SetReport(const std::string& text) override { report = text, events += "[" + text + "]"; }
    void SetNewName(const std::string& text) override { new_name = text; }
    bool Ask(const std::string& text) override { return asked.push_back(text), answer; }
    void Inform(const std::string& text) override { informed.push_back(text); }
    void PictureFinished(int n, int total) override {
        events += std::to_string(n) + "/" + std::to_string(total) + " ";
    }
    bool ViewVisible() override { return view_visible; }
    void HideImageView() override { view_visible = false; }
    void PlaceView(int32_t, const ViewPlacement& where) override { placement = where; }
    void ShowView() override { view_visible = true; }
    void SetUndoEnabled(bool enabled) override { undo_enabled = enabled; }
    void ProcessPendingEvents() override {
        if (event_passes++ == 0 && on_events) on_events();
    }
    bool CloseRequested() override { return close; }
};

// Files beyond `bytes` cannot be written while this lives: a full disk, without one.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes) : handler(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &old);
        const rlimit limit{bytes, old.rlim_max};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old), std::signal(SIGXFSZ, handler); }
    rlimit old{};
    void (*handler)(int);
};

// Cropping to 4 x 6 is ticked.
class JobTest : public testing::Test {
protected:
    void SetUp() override { shell::ResetSharedValues(), windows.controls.CkCrop = true; }

    // The blue channel never reaches 0, so no pixel of it is ever a pure mount colour.
    static image::cImage Gradient(int w, int h) {
        return test::MakeImage(w, h, [](int x, int y) {
            return test::Rgb{uint8_t(x * 5), uint8_t(y * 3), 128};
        });
    }
    std::string Picture(const std::string& name, int w, int h) {
        EXPECT_EQ(Gradient(w, h).WriteBMP(dir.File(name)), 0);
        return dir.File(name);
    }
    // Loads like a drop on the window; a single file is also shown in the image view. The
    // process button is then ProcessPics().
    cOptions& Load(const std::string& path, int32_t kind = kDropFile, int jobs = 1) {
        job = std::make_shared<cOptions>(windows, box);
        job->SetJobs(jobs);
        job->SetDropType(kind);
        kind == kDropFile ? job->SetOldFilePath(path) : job->SetOldFolderPath(path);
        job->LoadSettings();
        if (kind == kDropFile) {
            EXPECT_EQ(job->LoadPic(), 0);
            job->ShowPic();
        }
        return *job;
    }
    test::TempDir dir;
    FakeWindows windows;
    PictureBox box;
    std::shared_ptr<cOptions> job;
};

// The output name of beach.jpg and what else the controls stand for, with the presets 260, 640,
// 800 and the custom ratio 3 x 5 (a custom ratio without its small side falls back to square).
TEST_F(JobTest, OutputNameAndQualityFromTheControls) {
    // CkCrop, CkMount, CkOrient, CkResize, OpSize, OpDir, OpResize, OpResizeQuality, OpType,
    // QList, TName
    const struct {
        OptionControls controls;
        int32_t manual, custom_small;
        const char* name;
        int32_t quality;
    } cases[] = {
        {{true, false, true, true, 0, 4, 1, 0, 0, 1, ""}, 0, 3, "beach46e-R640.jpg", 85},
        {{true, false, false, true, 0, 4, 1, 0, 0, 1, ""}, 0, 3, "beach46-R640.jpg", 85},
        {{true, true, true, true, 0, 4, 1, 0, 0, 1, ""}, 0, 3, "beach46-R640.jpg", 85},
        {{true, false, true, false, 1, 4, 1, 0, 0, 1, ""}, 1, 3, "beach57m.jpg", 85},
        {{true, false, true, false, 2, 2, 1, 0, 0, 0, ""}, 0, 3, "beach810c.jpg", 75},
        {{true, false, true, true, 0, 0, -1, 1, 1, -1, ""}, 0, 3, "beach46a-R800.bmp", 100},
        {{true, false, false, true, 4, 4, 2, 0, 1, 2, ""}, 0, 3, "beach35-R800.bmp", 92},
        {{true, false, true, false, 4, 4, 2, 0, 0, 1, ""}, 0, 0, "beachSQe.jpg", 85},
        {{false, false, false, false, 0, 4, 1, 0, 0, 1, ""}, 0, 3, "beach-.jpg", 85},
        {{false, true, true, true, 0, 1, 0, 0, 0, 1, ""}, 2, 3, "beach--R260.jpg", 85}};
    shell::gCropLgDim = 5;
    for (const auto& c : cases) {
        shell::gManualCrop = c.manual;
        shell::gCropSmDim = c.custom_small;
        windows.controls = c.controls;
        windows.square_selected = false;
        cOptions job(windows, box);
        job.LoadSettings();
        EXPECT_EQ(job.DecorateName("beach") + job.FileExt(), c.name);
        EXPECT_EQ(job.JPGQuality(), c.quality) << c.name;
        EXPECT_EQ(windows.square_selected, c.custom_small == 0) << c.name;
    }
}

// Preview and canvas sizes, rounded to the nearest pixel; a mounted preview centred on the mount
// colour, the odd pixel left over going below. The view stays where it is when it is visible,
// and goes where it was last otherwise.
TEST_F(JobTest, PreviewSizesAndPlacement) {
    const struct {
        int w, h;
        bool mount;
        int canvas_w, canvas_h, x, y;  // where the picture starts on the canvas
    } cases[] = {{320, 240, false, 320, 240, 0, 0},   {1600, 1200, false, 400, 300, 0, 0},
                 {1203, 1600, false, 301, 400, 0, 0}, {401, 100, false, 400, 100, 0, 0},
                 {1600, 1200, true, 400, 267, 22, 0}, {100, 147, true, 100, 150, 0, 2}};
    const test::Rgb red{255, 0, 0};
    shell::gMountColor = 0x0000FF;
    for (const auto& c : cases) {
        windows.controls.CkMount = c.mount;
        windows.view_visible = false;
        Load(Picture("p.bmp", c.w, c.h));
        EXPECT_EQ(std::pair(box.surface.Width(), box.surface.Height()),
                  std::pair(c.canvas_w, c.canvas_h))
            << c.w << "x" << c.h;
        EXPECT_EQ(std::pair(windows.view_visible, box.crop.Visible), std::pair(true, !c.mount));
        EXPECT_NE(test::PixelAt(box.surface, c.x, c.y), red) << c.w << "x" << c.h;
        // The canvas pixel just before the picture.
        EXPECT_EQ(test::PixelAt(box.surface, c.x - (c.x > 0), c.y - (c.y > 0)) == red, c.mount);
    }
    job->ShowPic();
    EXPECT_TRUE(windows.placement.keep_position);
    windows.view_visible = false;
    // Remembered in twips, placed in pixels.
    shell::gViewLeft = 105, shell::gViewTop = 1687;
    job->ShowPic();
    EXPECT_EQ(std::pair(windows.placement.left, windows.placement.top), std::pair(7, 112));
}

// Choosing an orientation moves the crop box over the preview; centred, the odd pixel left over
// stays on the right.
TEST_F(JobTest, CropBoxFollowsOrientation) {
    Load(Picture("p.bmp", 1995, 1000));  // shown 400 x 201, the box 301 x 201
    for (auto [orient, left] : {std::pair{0, 0}, {1, 99}, {2, 99}, {3, 0}, {4, 49}}) {
        windows.controls.OpDir = orient;
        job->UpdateOrientation();
        EXPECT_EQ((std::array{box.crop.Left, box.crop.Top, box.crop.Width, box.crop.Height}),
                  (std::array<double, 4>{double(left), 0, 301, 201}))
            << orient;
    }
    EXPECT_EQ(windows.size, "1500x1000");
}

// Three changes can be undone; only 21 tools are recorded, later ones change the preview only.
TEST_F(JobTest, ToolsRecordAndUndo) {
    cOptions idle(windows, box);
    idle.DoAction(kOpLighten);  // nothing shown: nothing to do
    EXPECT_EQ(idle.CustomOps() + idle.Backups(), 0);
    Load(Picture("p.bmp", 30, 20));
    image::cImage expected = box.surface;
    auto tool = [](int i) { return i % 3 == 2 ? kOpLighten : kOpDarken; };
    for (int i = 0; i < 22; ++i) job->DoAction(tool(i));
    EXPECT_EQ(std::pair(job->CustomOps(), job->Backups()), std::pair(21, 3));
    EXPECT_EQ(job->OpType(20), tool(20));
    EXPECT_TRUE(windows.undo_enabled);
    EXPECT_FALSE(job->AddCustomOp(kOpLighten, {}));
    for (int i = 0; i < 4; ++i) job->RemoveLastAction();  // the fourth finds nothing to undo
    EXPECT_EQ(std::pair(job->CustomOps(), job->Backups()), std::pair(18, 0));
    for (int i = 0; i < 19; ++i) ReplayOp(tool(i), {}, expected, 30, 20);
    EXPECT_EQ(test::Bytes(box.surface), test::Bytes(expected));
    job->ClearCustomOps();
    EXPECT_EQ(job->CustomOps() + job->Backups(), 0);
}

TEST_F(JobTest, ToolsScaledBetweenPreviewAndPicture) {
    Load(Picture("p.bmp", 3000, 2000));  // shown 400 x 267, the crop box over all of it
    const int x = int(box.crop.Left), y = int(box.crop.Top) + 50;
    const test::Rgb inside = test::PixelAt(box.surface, x + 2, y);
    job->DoBorder(0x00FF00, 15);
    job->DoText("Hi", 0xFF, 10, 24, true, 200, 100, "DejaVu Sans");
    // LThick, LCol, iFactor, LStep, FontW, FontH, XPt, YPt, sFontName, sText, IfBold; the text
    // at 200 x 3000 / 400, 100 x 2000 / 267
    EXPECT_EQ(job->OpRecord(0), (CustomOpInfo{15, 0x00FF00, 0, 0, 0, 0, 0, 0, "", ""}));
    EXPECT_EQ(job->OpRecord(1),
              (CustomOpInfo{0, 0xFF, 0, 0, 10, 24, 1500, 749, "DejaVu Sans", "Hi", true}));
    // In the preview the border is 15 x 400 / 3000 = 2 pixels wide, inside the crop box.
    EXPECT_EQ(test::PixelAt(box.surface, x, y), (test::Rgb{0, 255, 0}));
    EXPECT_EQ(test::PixelAt(box.surface, x + 2, y), inside);
}

class ProcessTest : public JobTest {
protected:
    void SetUp() override {
        JobTest::SetUp();
        windows.controls.CkResize = true, windows.controls.OpResize = 1;  // to 640 pixels
        fs::create_directory(folder);
    }
    const std::string folder = dir.File("in");
};

TEST_F(ProcessTest, SingleFileAndTheOverwriteQuestion) {
    const std::string src = Picture("beach.bmp", 300, 200), dst = dir.File("beach46e-R640.jpg");
    Load(src).ProcessPics();
    EXPECT_EQ(windows.report + "|" + windows.new_name,
              " 1 file processed.|File: beach46e-R640.jpg");
    test::WriteFileBytes(dst, {1, 2, 3});
    Load(src).ProcessPics();  // Cancel
    EXPECT_EQ(windows.asked, std::vector<std::string>{"File exists:\r\n" + dst + "\r\nOverwrite?"});
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kCancelled);
    EXPECT_EQ(test::ReadFileBytes(dst), (Bytes{1, 2, 3}));
    windows.answer = true;
    Load(src).ProcessPics();
    EXPECT_GT(test::ReadFileBytes(dst).size(), 3u);
}

// The typed name is the source's own. The file changed after loading, so it must be read again
// before the output replaces it.
TEST_F(ProcessTest, OutputOverItsChangedSource) {
    windows.controls = {.CkCrop = true, .OpSize = 3, .OpType = 1, .TName = "  my photo.png "};
    windows.answer = true;
    const std::string src = Picture("my photo.bmp", 30, 20);
    Load(src);
    ASSERT_EQ(Gradient(12, 9).WriteBMP(src), 0);
    job->ProcessPics();
    EXPECT_EQ(windows.new_name, "File: my photo.bmp");
    image::cImage out;
    ASSERT_EQ(out.LoadPicture(src), 0);
    EXPECT_EQ(std::pair(out.Width(), out.Height()), std::pair(9, 9));
}

// A single file's failure shows in the label only: no error text, no message.
TEST_F(ProcessTest, SingleFileFailures) {
    windows.controls.CkMount = true;  // on a 1 x 1000000 canvas, which cannot be made
    windows.controls.OpSize = 4;
    shell::gCropSmDim = 1, shell::gCropLgDim = 1000000;
    Load(Picture("mount.bmp", 1000, 1000)).ProcessPics();
    EXPECT_EQ(windows.report, "Error processing file - Err. 5");
    windows.controls.CkCrop = false;
    shell::gSize2 = 100;
    Load(Picture("resize.bmp", 1001, 2)).ProcessPics();  // to 100 x 0
    EXPECT_EQ(windows.report, "Error processing file - Err. 7");
    EXPECT_EQ(job->ErrorText(), "");
    EXPECT_TRUE(windows.informed.empty());
}

// One, two and three pictures at once give the same files, labels and messages, the picture that
// fails logged in list order. Each run after the first deletes the output folder with OK.
TEST_F(ProcessTest, FolderRuns) {
    const std::string out = folder + "/Images46e-R640/";
    test::WriteFileBytes(folder + "/notes.txt", {'x'});
    Load(folder, kDropFolder).ProcessPics();  // no picture yet: nothing is made
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kNoPictures);
    EXPECT_FALSE(fs::exists(out));
    // The slowest first, so that others finish before it.
    for (auto [name, w, h] : {std::tuple{"a.bmp", 1200, 800},
                              {"b.BMP", 50, 60},
                              {"d.bmp", 40, 30},
                              {"Grüße e.bmp", 70, 90}})
        Picture("in/" + std::string(name), w, h);
    test::WriteFileBytes(folder + "/c.jpg", {'n', 'o', 't'});
    windows.answer = true;
    std::map<int, std::map<std::string, Bytes>> outputs;
    std::map<int, std::string> shown;
    for (int jobs : {1, 2, 3}) {
        windows.informed.clear();
        windows.events.clear();
        Load(folder, kDropFolder, jobs).ProcessPics();
        shown[jobs] = windows.events + "|" + windows.new_name + "|" + windows.size;
        for (const std::string& text : windows.informed) shown[jobs] += "|" + text;
        for (const auto& e : fs::directory_iterator(out))
            outputs[jobs][e.path().filename()] = test::ReadFileBytes(e.path());
        test::WriteFileBytes(out + "stale", {});
    }
    std::string files;
    for (const auto& [name, bytes] : outputs[1]) files += name + ",";
    EXPECT_EQ(files, "Grüße e.jpg,Pictorra Error Log.txt,a.jpg,b.jpg,d.jpg,");
    const std::string log = folder + "/c.jpg - Error: 1\r\n\r\n";
    EXPECT_EQ(outputs[1]["Pictorra Error Log.txt"], Bytes(log.begin(), log.end()));
    // Pictures finish in list order, the count of those written after each, the failed one
    // not counted; the size display shows the last one's crop.
    EXPECT_EQ(shown[1],
              "[  1 files processed]1/5 [  2 files processed]2/5 3/5 "
              "[  3 files processed]4/5 [  4 files processed]5/5 [  4 files processed]"
              "|Folder: Images46e-R640|60x90|Errors with some files processed. Error "
              "log saved as:\r\n" +
                  out + "Pictorra Error Log.txt");
    for (int jobs : {2, 3}) {
        EXPECT_EQ(outputs[jobs], outputs[1]) << jobs;
        EXPECT_EQ(shown[jobs], shown[1]) << jobs;
    }
    windows.answer = false;
    Load(folder, kDropFolder).ProcessPics();
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kCancelled);
    EXPECT_EQ(windows.asked.back(), "Destination folder for processed images:\r\n" + folder +
                                        "/Images46e-R640\r\nFolder exists. Delete it?");
    EXPECT_TRUE(fs::exists(out + "stale"));
    // A file holds the output folder's name: every picture fails, and there is no log.
    fs::remove_all(out);
    test::WriteFileBytes(folder + "/Images46e-R640", {'x'});
    windows.informed.clear();
    Load(folder, kDropFolder).ProcessPics();
    EXPECT_EQ(windows.report, "  0 files processed");
    EXPECT_EQ(job->ErrorText().find(folder + "/a.bmp - Error: "), 0u);
    EXPECT_TRUE(windows.informed.empty());
}

// The source's EXIF in JPG outputs for each information choice, for a single file (which reuses
// the preview's decode) and a folder worked on by two workers. The source is stored turned
// (orientation 6) and carries a location; a BMP output carries nothing.
TEST_F(ProcessTest, PhotoInformationInOutputs) {
    windows.controls.CkCrop = false, windows.controls.CkOrient = false;
    windows.answer = true;
    const image::cImage stored = test::Photo(300, 200, 3);  // upright: 200 x 300
    const std::string src = dir.File("photo.jpg");
    ASSERT_EQ(stored.WriteJPG(src, 90, test::CameraExif()), 0);
    ASSERT_EQ(stored.WriteJPG(folder + "/one.jpg", 90, test::CameraExif(true)), 0);
    ASSERT_EQ(stored.WriteJPG(folder + "/two.jpg", 90, test::CameraExif()), 0);
    ASSERT_EQ(Gradient(30, 20).WriteJPG(folder + "/bare.jpg", 90), 0);
    const struct {
        image::MetadataChoice choice;
        int32_t type;
        bool folder;
        bool exif, location;
    } cases[] = {
        {image::MetadataChoice::kNoLocation, kFileTypeJpg, false, true, false},
        {image::MetadataChoice::kKeepAll, kFileTypeJpg, false, true, true},
        {image::MetadataChoice::kNone, kFileTypeJpg, false, false, false},
        {image::MetadataChoice::kNoLocation, kFileTypeJpg, true, true, false},
        {image::MetadataChoice::kKeepAll, kFileTypeJpg, true, true, true},
        {image::MetadataChoice::kKeepAll, kFileTypeBmp, false, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(&c - cases));
        shell::gMetadata = c.choice;
        windows.controls.OpType = c.type;
        const std::string ext = c.type == kFileTypeJpg ? ".jpg" : ".bmp";
        std::vector<std::string> outputs;
        if (c.folder) {
            Load(folder, kDropFolder, 2).ProcessPics();
            for (const char* name : {"one", "two"})
                outputs.push_back(folder + "/Images-R640/" + name + ext);
            // A source without EXIF gives an output without.
            EXPECT_TRUE(test::JpegExifTags(folder + "/Images-R640/bare.jpg").empty());
        } else {
            Load(src).ProcessPics();
            EXPECT_EQ(windows.new_name, "File: photo-R640" + ext) << windows.report;
            outputs.push_back(dir.File("photo-R640" + ext));
        }
        EXPECT_EQ(job->Metadata(), c.choice);
        for (const std::string& out : outputs) {
            SCOPED_TRACE(out);
            image::cImage picture;
            ASSERT_EQ(picture.LoadPicture(out), 0);
            EXPECT_EQ(std::pair(picture.Width(), picture.Height()), std::pair(427, 640));
            const auto tags = test::JpegExifTags(out);  // a BMP has no place for any
            EXPECT_EQ(!tags.empty(), c.exif);
            if (!c.exif) continue;
            EXPECT_EQ(tags.at("Exif.Photo.DateTimeOriginal"), "2024:05:06 07:08:09");
            EXPECT_EQ(tags.at("Exif.Image.Orientation"), "1");
            EXPECT_EQ(tags.at("Exif.Photo.PixelXDimension"), "427");
            EXPECT_EQ(tags.at("Exif.Photo.PixelYDimension"), "640");
            EXPECT_FALSE(test::AnyTag(tags, "Exif.Thumbnail."));
            EXPECT_EQ(test::AnyTag(tags, "Exif.GPSInfo."), c.location);
        }
    }
}

TEST_F(ProcessTest, ToolsAreReplayedAfterCropBeforeResize) {
    windows.controls.OpType = 1;
    shell::gSize2 = 120;
    Load(Picture("t.bmp", 91, 40));  // the centre 60 x 40, the odd column left over on the right
    const CustomOpInfo border{2, 0x0000FF, 0, 0, 0, 0, 0, 0, "", ""};
    ASSERT_TRUE(job->AddCustomOp(kOpDarken, {}));
    ASSERT_TRUE(job->AddCustomOp(kOpBorder, border));
    job->ProcessPics();
    image::cImage expected = Gradient(91, 40).CropPic(0, 0, 60, 40, 15, 0), out;
    ReplayOp(kOpDarken, {}, expected, 60, 40);
    ReplayOp(kOpBorder, border, expected, 60, 40);
    ASSERT_EQ(out.LoadPicture(dir.File("t46e-R120.bmp")), 0);  // then 120 x 80
    EXPECT_EQ(test::Bytes(out), test::Bytes(expected.Resize(120, 80, false)));
}

class RunSafety : public JobTest {
protected:
    // Five pictures p1 .. p5 in a folder; the first cannot be decoded.
    std::string FivePictures() {
        fs::create_directories(dir.path() / "in");
        test::WriteFileBytes(dir.File("in/p1.jpg"), {0xFF, 0xD8, 0xFF});
        for (int i = 2; i <= 5; ++i)
            EXPECT_EQ(
                test::Noise(32, 20, i).WriteBMP(dir.File("in/p" + std::to_string(i) + ".bmp")), 0);
        return dir.File("in");
    }
    void ProcessOnAFullDisk(rlim_t bytes) {
        const FileSizeLimit full(bytes);
        job->ProcessPics();
    }
};

TEST_F(RunSafety, AFullDiskFailsEveryOutputAndTheLogAndIsReported) {
    const std::string folder = FivePictures();
    for (int type : {0, 1}) {
        windows.controls.OpType = type;
        fs::remove_all(folder + "/Images46e");
        Load(folder, kDropFolder, 2);
        ProcessOnAFullDisk(1);
        EXPECT_EQ(windows.report, "  0 files processed") << type;
        ASSERT_EQ(job->Failures().size(), 5u) << type;
        EXPECT_EQ(job->Failures()[0].code, kFileCannotLoad);
        for (size_t i = 1; i < 5; ++i) {
            EXPECT_EQ(job->Failures()[i].code, image::kWriteFailed) << type;
            EXPECT_EQ(job->Failures()[i].cause, "writing the file failed: File too large");
        }
        EXPECT_EQ(job->ErrorLogError(), EFBIG);
        EXPECT_TRUE(windows.informed.empty());  // no log was written, so none is announced
        EXPECT_TRUE(fs::is_empty(folder + "/Images46e")) << "no file, whole or partial";
    }
}

TEST_F(RunSafety, AnOverwriteThatCannotBeWrittenKeepsTheOldOutput) {
    const std::string source = dir.File("a.bmp");
    ASSERT_EQ(test::Noise(40, 60, 1).WriteBMP(source), 0);
    windows.answer = true;
    for (int type : {1, 0}) {
        windows.controls.OpType = type;
        const std::string out = dir.File(type == 1 ? "a46e.bmp" : "a46e.jpg");
        test::WriteFileBytes(out, {'o', 'l', 'd'});
        Load(source);
        ProcessOnAFullDisk(100);
        EXPECT_EQ(windows.report, "Error processing file - Err. 3") << type;
        EXPECT_EQ(test::ReadFileBytes(out), (Bytes{'o', 'l', 'd'})) << type;
    }
}

// The events between the first and second picture drop the test's reference to the job, clear
// its recorded darken tool and ask to close. The pictures begun are finished darkened, nothing
// else is begun, and the job lives until its run returns (AddressSanitizer watches that).
TEST_F(RunSafety, EventsDuringARunCannotPullTheJobFromUnderIt) {
    const std::string folder = FivePictures();
    windows.controls.OpType = 1;
    for (int jobs : {1, 2, 3}) {
        fs::remove_all(folder + "/Images46e");
        Load(folder, kDropFolder, jobs);
        ASSERT_TRUE(job->AddCustomOp(kOpDarken, {}));
        const std::weak_ptr<cOptions> watch = job;
        windows.event_passes = 0;
        windows.close = false;
        windows.on_events = [&] {
            job->ClearCustomOps();
            job.reset();
            windows.close = true;
        };
        cOptions* const running = job.get();
        running->ProcessPics();
        EXPECT_TRUE(watch.expired()) << jobs;
        // Picture 1 fails. One worker begins nothing more; with more, the pictures begun by then
        // (how many depends on the timing) are finished, whole and darkened.
        std::vector<std::string> written;
        for (const auto& e : fs::directory_iterator(folder + "/Images46e")) {
            if (e.path().extension() == ".bmp") written.push_back(e.path().filename());
        }
        std::sort(written.begin(), written.end());
        EXPECT_TRUE(jobs > 1 || written.empty());
        for (size_t k = 0; k < written.size(); ++k) {
            ASSERT_EQ(written[k], "p" + std::to_string(k + 2) + ".bmp") << jobs;
            image::cImage want = test::Noise(32, 20, int(k) + 2), got;
            want.DarkenPic(kDarkenPart255);
            ASSERT_EQ(got.LoadPicture(folder + "/Images46e/" + written[k]), 0);
            EXPECT_EQ(test::Bytes(got), test::Bytes(want)) << jobs;
        }
        EXPECT_EQ(test::ReadFileBytes(folder + "/Images46e/Pictorra Error Log.txt").size(),
                  folder.size() + std::string("/p1.jpg - Error: 1\r\n\r\n").size());
        EXPECT_TRUE(windows.informed.empty()) << "a closing program shows no message";
    }
}

}  // namespace
}  // namespace pictorra::options
