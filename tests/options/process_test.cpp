// Processing runs over generated files and folders: result codes, labels, messages, the error
// log's bytes, the two questions, and that sources are never lost.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "fake_windows.h"
#include "options/c_options.h"
#include "shell/shared_values.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace pictorra::options {
namespace {

using test::FakeWindows;

image::cImage Gradient(int w, int h) {
    return test::MakeImage(w, h, [](int x, int y) {
        return test::Rgb{uint8_t(x * 5), uint8_t(y * 3), uint8_t(x + y)};
    });
}

class ProcessTest : public testing::Test {
protected:
    void SetUp() override {
        shell::ResetSharedValues();
        windows.controls.CkCrop = true;
        windows.controls.CkResize = true;
        windows.controls.OpResize = 1;
    }
    void TearDown() override { shell::ResetSharedValues(); }

    std::string WritePicture(const std::string& name, int w, int h) {
        const std::string path = dir.File(name);
        EXPECT_TRUE(Gradient(w, h).WriteBMP(path));
        return path;
    }

    // Loads like a drop on the window, then presses the process button.
    cOptions& Run(const std::string& path, int32_t kind, int jobs = 1) {
        job = std::make_unique<cOptions>(windows, box);
        job->SetJobs(jobs);
        job->SetDropType(kind);
        if (kind == kDropFile) {
            job->SetOldFilePath(path);
            job->LoadSettings();
            EXPECT_EQ(job->LoadPic(), 0);
            job->ShowPic();
        } else {
            job->SetOldFolderPath(path);
            job->LoadSettings();
        }
        job->ClearError();
        job->ProcessPics();
        return *job;
    }

    test::TempDir dir;
    FakeWindows windows;
    PictureBox box;
    std::unique_ptr<cOptions> job;
};

TEST_F(ProcessTest, SingleFileBesideItsSource) {
    const std::string src = WritePicture("beach.bmp", 300, 200);
    Run(src, kDropFile);
    EXPECT_EQ(windows.report, " 1 file processed.");
    EXPECT_EQ(windows.new_name, "File: beach46e-R640.jpg");
    image::cImage out;
    ASSERT_EQ(out.LoadPicture(dir.File("beach46e-R640.jpg")), 0);
    EXPECT_EQ(out.Width(), 640);
    EXPECT_EQ(out.Height(), 427);
    EXPECT_TRUE(windows.asked.empty());
}

TEST_F(ProcessTest, OverwriteQuestionBothWays) {
    const std::string src = WritePicture("beach.bmp", 300, 200);
    const std::string dst = dir.File("beach46e-R640.jpg");
    test::WriteFileBytes(dst, {1, 2, 3});
    windows.answers = {false};
    Run(src, kDropFile);
    ASSERT_EQ(windows.asked.size(), 1u);
    EXPECT_EQ(windows.asked[0], "File exists:\r\n" + dst + "\r\nOverwrite?");
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kCancelled);
    EXPECT_EQ(test::ReadFileBytes(dst), (std::vector<uint8_t>{1, 2, 3}));
    windows.answers = {true};
    Run(src, kDropFile);
    EXPECT_EQ(windows.report, " 1 file processed.");
    EXPECT_GT(test::ReadFileBytes(dst).size(), 3u);
}

TEST_F(ProcessTest, TypedNameEqualToTheSourceReplacesItOnlyWhenDone) {
    windows.controls.OpType = 1;
    windows.controls.CkResize = false;
    windows.controls.OpSize = 3;  // square
    windows.controls.TName = "  my photo.png ";
    const std::string src = WritePicture("my photo.bmp", 30, 20);
    windows.answers = {true};
    Run(src, kDropFile);
    EXPECT_EQ(windows.new_name, "File: my photo.bmp");
    image::cImage out;
    ASSERT_EQ(out.LoadPicture(src), 0);
    EXPECT_EQ(out.Width(), 20);
    EXPECT_EQ(out.Height(), 20);
}

TEST_F(ProcessTest, APictureChangedAfterLoadingIsReadAgain) {
    windows.controls.CkCrop = false;
    windows.controls.CkResize = false;
    windows.controls.OpType = 1;
    const std::string src = WritePicture("c.bmp", 30, 20);
    job = std::make_unique<cOptions>(windows, box);
    job->SetDropType(kDropFile);
    job->SetOldFilePath(src);
    job->LoadSettings();
    ASSERT_EQ(job->LoadPic(), 0);
    ASSERT_TRUE(Gradient(12, 9).WriteBMP(src));  // replaced on disk before processing
    job->ProcessPics();
    image::cImage out;
    ASSERT_EQ(out.LoadPicture(dir.File("c-.bmp")), 0);
    EXPECT_EQ(out.Width(), 12);
}

TEST_F(ProcessTest, SingleFileErrorsGoToTheReport) {
    const std::string src = WritePicture("tiny.bmp", 1001, 2);
    Run(src, kDropFile);  // 1001 x 2 resized to 640 x 1: fine
    EXPECT_EQ(windows.report, " 1 file processed.");
    windows.controls.CkCrop = false;
    shell::gSize2 = 100;
    Run(src, kDropFile);  // 100 x 0: the resize cannot make a picture
    EXPECT_EQ(windows.report, "Error processing file - Err. 7");
    EXPECT_EQ(job->ErrorText(), "");
    EXPECT_TRUE(windows.informed.empty());
}

TEST_F(ProcessTest, FolderWithAFailureWritesTheLog) {
    fs::create_directory(dir.path() / "in");
    const std::string folder = (dir.path() / "in").string();
    for (const char* name : {"a.bmp", "b.BMP", "d.bmp", "Grüße e.bmp"})
        EXPECT_TRUE(Gradient(40, 30).WriteBMP(folder + "/" + name));
    test::WriteFileBytes(folder + "/c.jpg", {'n', 'o', 't'});
    test::WriteFileBytes(folder + "/notes.txt", {'x'});
    Run(folder, kDropFolder);
    EXPECT_EQ(windows.report, "  4 files processed");
    EXPECT_EQ(windows.new_name, "Folder: Images46e-R640");
    const std::string out = folder + "/Images46e-R640/";
    const std::string log = out + "Pictorra Error Log.txt";
    ASSERT_EQ(windows.informed.size(), 1u);
    EXPECT_EQ(windows.informed[0],
              "Errors with some files processed. Error log saved as:\r\n" + log);
    const std::string expected = folder + "/c.jpg - Error: 1\r\n\r\n";
    EXPECT_EQ(test::ReadFileBytes(log), std::vector<uint8_t>(expected.begin(), expected.end()));
    EXPECT_EQ(job->ErrorText(), folder + "/c.jpg - Error: 1\r\n");
    for (const char* name : {"a.jpg", "b.jpg", "d.jpg", "Grüße e.jpg"})
        EXPECT_TRUE(fs::exists(out + name));
    EXPECT_FALSE(fs::exists(out + "c.jpg"));
}

TEST_F(ProcessTest, FolderQuestionBothWays) {
    fs::create_directory(dir.path() / "in");
    const std::string folder = (dir.path() / "in").string();
    EXPECT_TRUE(Gradient(40, 30).WriteBMP(folder + "/a.bmp"));
    fs::create_directories(folder + "/Images46e-R640/old");
    test::WriteFileBytes(folder + "/Images46e-R640/old/keep.txt", {'k'});
    windows.answers = {false};
    Run(folder, kDropFolder);
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kCancelled);
    EXPECT_EQ(windows.asked.back(), "Destination folder for processed images:\r\n" + folder +
                                        "/Images46e-R640\r\nFolder exists. Delete it?");
    EXPECT_TRUE(fs::exists(folder + "/Images46e-R640/old/keep.txt"));
    windows.answers = {true};
    Run(folder, kDropFolder);
    EXPECT_FALSE(fs::exists(folder + "/Images46e-R640/old"));
    EXPECT_TRUE(fs::exists(folder + "/Images46e-R640/a.jpg"));
}

TEST_F(ProcessTest, FoldersWithoutPictures) {
    fs::create_directories(dir.path() / "only-folders" / "sub");
    Run((dir.path() / "only-folders").string(), kDropFolder);
    EXPECT_EQ(windows.informed.back(), "No files in selected folder.");
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kNoFiles);
    fs::create_directory(dir.path() / "text");
    test::WriteFileBytes(dir.path() / "text" / "a.txt", {'a'});
    test::WriteFileBytes(dir.path() / "text" / "photo", {'a'});
    Run((dir.path() / "text").string(), kDropFolder);
    EXPECT_EQ(windows.informed.back(), "No BMP, JPG, or GIF files in folder.");
    EXPECT_EQ(job->LastOutcome(), RunOutcome::kNoPictures);
    EXPECT_FALSE(fs::exists(dir.path() / "text" / "Images46e-R640"));
}

TEST_F(ProcessTest, OutputFolderThatCannotBeMade) {
    fs::create_directory(dir.path() / "in");
    const std::string folder = (dir.path() / "in").string();
    EXPECT_TRUE(Gradient(40, 30).WriteBMP(folder + "/a.bmp"));
    // A plain file already holds the output folder's name.
    test::WriteFileBytes(folder + "/Images46e-R640", {'x'});
    Run(folder, kDropFolder);
    EXPECT_EQ(windows.report, "  0 files processed");
    EXPECT_NE(job->ErrorText().find("/a.bmp - Error: "), std::string::npos);
    EXPECT_TRUE(windows.informed.empty());  // no folder, so no log and no log message
    windows.controls.OpType = 1;           // a BMP output always counts as written
    Run(folder, kDropFolder);
    EXPECT_EQ(windows.report, "  1 files processed");
}

TEST_F(ProcessTest, ResultCodesOfTheSteps) {
    struct Case {
        const char* name;
        int w, h;
        bool crop, mount;
        int32_t custom_small, custom_large, size2;
        int32_t code;
    };
    const Case cases[] = {
        {"Written", 40, 30, true, false, 0, 0, 640, 0},
        {"MountTooLarge", 1000, 1000, true, true, 1, 1000000, 640, 5},
        {"ResizeToNothing", 1001, 2, false, false, 0, 0, 100, 7},
    };
    for (const Case& c : cases) {
        const std::string src = WritePicture(std::string(c.name) + ".bmp", c.w, c.h);
        shell::gCropSmDim = c.custom_small;
        shell::gCropLgDim = c.custom_large;
        shell::gSize2 = c.size2;
        windows.controls.OpSize = c.custom_small ? 4 : 0;
        windows.controls.CkCrop = c.crop;
        windows.controls.CkMount = c.mount;
        Run(src, kDropFile);
        EXPECT_EQ(job->LastFileCode(), c.code) << c.name;
    }
}

TEST_F(ProcessTest, ParallelRunsGiveTheSameBytes) {
    fs::create_directory(dir.path() / "in");
    const std::string folder = (dir.path() / "in").string();
    for (int i = 0; i < 7; ++i) {
        const std::string name = folder + "/p" + std::to_string(i) + (i == 3 ? ".gif" : ".bmp");
        if (i == 3) test::WriteFileBytes(name, {'G', 'I', 'F'});
        else EXPECT_TRUE(Gradient(50 + i * 13, 40 + i * 7).WriteBMP(name));
    }
    windows.controls.CkMount = true;
    windows.answers = {true, true};
    std::map<int, std::map<std::string, std::vector<uint8_t>>> outputs;
    std::map<int, std::string> reports;
    for (int jobs : {1, 2, 3}) {
        windows.answers = {true};
        Run(folder, kDropFolder, jobs);
        reports[jobs] = windows.report + "|" + job->ErrorText();
        for (const auto& e : fs::directory_iterator(folder + "/Images46-R640"))
            outputs[jobs][e.path().filename()] = test::ReadFileBytes(e.path());
    }
    EXPECT_EQ(outputs[1].size(), 7u);  // six pictures and the log
    EXPECT_EQ(outputs[1], outputs[2]);
    EXPECT_EQ(outputs[1], outputs[3]);
    EXPECT_EQ(reports[1], reports[2]);
    EXPECT_EQ(reports[1], reports[3]);
}

TEST_F(ProcessTest, ToolsAreReplayedAfterCropBeforeResize) {
    const std::string src = WritePicture("t.bmp", 60, 40);
    windows.controls.CkResize = false;
    windows.controls.OpType = 1;
    job = std::make_unique<cOptions>(windows, box);
    job->SetDropType(kDropFile);
    job->SetOldFilePath(src);
    job->LoadSettings();
    ASSERT_EQ(job->LoadPic(), 0);
    CustomOpInfo border;
    border.LThick = 2;
    border.LCol = 0x0000FF;
    ASSERT_TRUE(job->AddCustomOp(kOpDarken, {}));
    ASSERT_TRUE(job->AddCustomOp(kOpBorder, border));
    job->ProcessPics();
    image::cImage expected = Gradient(60, 40);
    expected.DarkenPic(kDarkenPart255);
    expected.BorderPic(60, 40, 0, 0, 2, 0x0000FF);
    image::cImage out;
    ASSERT_EQ(out.LoadPicture(dir.File("t46e.bmp")), 0);
    ASSERT_EQ(out.PicSize(), expected.PicSize());
    EXPECT_TRUE(std::equal(out.DIBitsPtr(), out.DIBitsPtr() + out.PicSize(), expected.DIBitsPtr()));
}

}  // namespace
}  // namespace pictorra::options
