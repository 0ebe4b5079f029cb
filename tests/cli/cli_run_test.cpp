// pictorra-cli end to end: exit statuses, printed texts, and byte-identical folder runs
// whatever the number of jobs.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <map>

#include "test_support.h"

namespace fs = std::filesystem;

namespace pictorra::test {
namespace {

struct CliResult {
    int status = -1;
    std::string out;
};

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

class CliRun : public testing::Test {
protected:
    CliResult Cli(const std::vector<std::string>& args) {
        std::string command = "XDG_CONFIG_HOME=" + Quote(dir.File("config")) + " " PICTORRA_CLI;
        for (const auto& a : args) command += " " + Quote(a);
        command += " </dev/null 2>&1";
        CliResult result;
        FILE* pipe = popen(command.c_str(), "r");
        if (!pipe) return result;
        std::array<char, 4096> buf;
        size_t n;
        while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) result.out.append(buf.data(), n);
        const int status = pclose(pipe);
        result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        return result;
    }

    std::string Folder(const std::string& name) {
        fs::create_directories(dir.path() / name);
        return (dir.path() / name).string();
    }

    static void Picture(const std::string& path, int w, int h) {
        ASSERT_TRUE(MakeImage(w, h, [](int x, int y) {
                        return Rgb{uint8_t(x * 3), uint8_t(y * 5), uint8_t(x ^ y)};
                    }).WriteBMP(path));
    }

    TempDir dir;
};

TEST_F(CliRun, ExitStatuses) {
    const std::string good = Folder("good");
    Picture(good + "/a.bmp", 60, 40);
    Picture(good + "/b b.bmp", 40, 60);
    const std::string mixed = Folder("mixed");
    Picture(mixed + "/a.bmp", 60, 40);
    WriteFileBytes(mixed + "/broken.jpg", {0xFF, 0xD8, 0xFF});
    const std::string empty = Folder("empty");
    const std::string text = Folder("text");
    WriteFileBytes(text + "/read me.txt", {'x'});

    struct Case {
        const char* name;
        std::vector<std::string> args;
        int status;
        const char* says;
    };
    const Case cases[] = {
        {"AllWritten", {"--crop", "4x6", "--resize", "ez", good}, 0, "  2 files processed"},
        {"SomeFailed", {"--quiet", mixed}, 1, "Error log saved as:"},
        {"Usage", {"--orient", "q", good}, 2, "--orient"},
        {"Missing", {dir.File("nothing-here")}, 2, "Not a valid file or folder."},
        {"WrongType", {text + "/read me.txt"}, 2, "File extension must be BMP, JPG, JPEG, or GIF."},
        {"NameOnFolder", {"--name", "x", good}, 2, "--name"},
        {"CancelledWithoutTerminal", {"--crop", "4x6", "--resize", "ez", good}, 3,
         "Folder exists. Delete it?"},
        {"NoFiles", {empty}, 4, "No files in selected folder."},
        {"NoPictures", {text}, 4, "No BMP, JPG, or GIF files in folder."},
        {"SingleFile", {"--type", "bmp", good + "/a.bmp"}, 0, "File: a-.bmp"},
        {"BrokenSingleFile", {mixed + "/broken.jpg"}, 1, "Error loading file: Err. 1"},
    };
    for (const Case& c : cases) {
        const CliResult r = Cli(c.args);
        EXPECT_EQ(r.status, c.status) << c.name << ": " << r.out;
        EXPECT_NE(r.out.find(c.says), std::string::npos) << c.name << ": " << r.out;
    }
    EXPECT_TRUE(fs::exists(good + "/Images46e-R640/b b.jpg"));
    EXPECT_EQ(Cli({"--yes", "--crop", "4x6", "--resize", "ez", good}).status, 0);
}

TEST_F(CliRun, JobsGiveIdenticalOutputs) {
    const std::string in = Folder("in");
    for (int i = 0; i < 6; ++i) Picture(in + "/p" + std::to_string(i) + ".bmp", 90 + 17 * i, 70 + 9 * i);
    WriteFileBytes(in + "/zz.gif", {'G', 'I', 'F', '8', '9', 'a'});
    std::map<int, std::map<std::string, std::vector<uint8_t>>> outputs;
    std::map<int, std::string> printed;
    for (int jobs : {1, 2}) {
        fs::remove_all(in + "/Images57c-R300");
        const CliResult r = Cli({"--yes", "--quiet", "--jobs", std::to_string(jobs), "--crop",
                                 "5x7", "--orient", "c", "--resize", "300", "--hq", "--tool",
                                 "sharpen", "--tool", "bevel:4:Beveled", in});
        EXPECT_EQ(r.status, 1) << r.out;
        printed[jobs] = r.out;
        for (const auto& e : fs::directory_iterator(in + "/Images57c-R300"))
            outputs[jobs][e.path().filename()] = ReadFileBytes(e.path());
    }
    EXPECT_EQ(outputs[1].size(), 7u);
    EXPECT_EQ(outputs[1], outputs[2]);
    EXPECT_EQ(printed[1], printed[2]);
}

TEST_F(CliRun, HelpAndVersion) {
    const CliResult help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("Usage: pictorra-cli"), std::string::npos);
    const CliResult version = Cli({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("pictorra-cli "), std::string::npos);
}

}  // namespace
}  // namespace pictorra::test
