// The run when things go wrong around it: a full disk under BMP and JPG outputs and under the
// error log, an overwrite whose new file cannot be written, and window events between pictures
// that drop the job, clear its tools and ask the program to close.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "options/c_options.h"
#include "shell/shared_values.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace pictorra::options {
namespace {

// Files beyond `bytes` cannot be written while this lives: a full disk, without one.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) : old_handler_(std::signal(SIGXFSZ, SIG_IGN)) {
        getrlimit(RLIMIT_FSIZE, &old_);
        rlimit limit = old_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &old_);
        std::signal(SIGXFSZ, old_handler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit old_{};
    void (*old_handler_)(int);
};

struct Windows : JobWindows {
    OptionControls controls;
    std::string report;
    std::vector<std::string> informed;
    int event_passes = 0;
    std::function<void()> on_events;  // runs in the first event pass between pictures
    bool close = false;

    OptionControls ReadControls() override { return controls; }
    void SetReport(const std::string& text) override { report = text; }
    bool Ask(const std::string&) override { return true; }
    void Inform(const std::string& text) override { informed.push_back(text); }
    void ProcessPendingEvents() override {
        if (event_passes++ == 0 && on_events) on_events();
    }
    bool CloseRequested() override { return close; }
};

class RunSafety : public testing::Test {
protected:
    void SetUp() override {
        shell::ResetSharedValues();
        windows.controls.CkCrop = true;
    }
    std::shared_ptr<cOptions> Folder(const std::string& folder, int jobs) {
        auto job = std::make_shared<cOptions>(windows, box);
        job->SetJobs(jobs);
        job->SetDropType(kDropFolder);
        job->SetOldFolderPath(folder);
        job->LoadSettings();
        return job;
    }
    // Five pictures p1 .. p5; the first cannot be decoded.
    std::string FivePictures() {
        fs::create_directories(dir.path() / "in");
        test::WriteFileBytes(dir.File("in/p1.jpg"), {0xFF, 0xD8, 0xFF});
        for (int i = 2; i <= 5; ++i)
            EXPECT_EQ(
                test::Noise(32, 20, i).WriteBMP(dir.File("in/p" + std::to_string(i) + ".bmp")), 0);
        return dir.File("in");
    }
    test::TempDir dir;
    Windows windows;
    PictureBox box;
};

TEST_F(RunSafety, AFullDiskFailsEveryOutputAndTheLogAndIsReported) {
    const std::string folder = FivePictures();
    for (int type : {0, 1}) {
        windows.controls.OpType = type;
        fs::remove_all(folder + "/Images46e");
        auto job = Folder(folder, 2);
        {
            const FileSizeLimit full(1);
            job->ProcessPics();
        }
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
    const std::string source = dir.File("a.bmp"), output = dir.File("a46e.bmp");
    ASSERT_EQ(test::Noise(40, 60, 1).WriteBMP(source), 0);
    test::WriteFileBytes(output, {'o', 'l', 'd'});
    for (int type : {1, 0}) {
        windows.controls.OpType = type;
        const std::string out = type == 1 ? output : dir.File("a46e.jpg");
        test::WriteFileBytes(out, {'o', 'l', 'd'});
        auto job = std::make_shared<cOptions>(windows, box);
        job->SetDropType(kDropFile);
        job->SetOldFilePath(source);
        job->LoadSettings();
        ASSERT_EQ(job->LoadPic(), 0);
        {
            const FileSizeLimit full(100);
            job->ProcessPics();
        }
        EXPECT_EQ(windows.report, "Error processing file - Err. 3") << type;
        EXPECT_EQ(test::ReadFileBytes(out), (std::vector<uint8_t>{'o', 'l', 'd'})) << type;
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
        auto job = Folder(folder, jobs);
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
