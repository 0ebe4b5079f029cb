// Help: which page each topic key opens, what happens without the help file, and the help file
// the build compiles: every topic opens a page that is in it, and every page's links, style
// sheets and pictures are in it too.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "shell/chm_file.h"
#include "shell/help_topics.h"

namespace pictorra::shell {
namespace {

namespace fs = std::filesystem;

TEST(HelpPageFor, KeysAreExactAndEverythingElseOpensTheDefaultPage) {
    const struct {
        const char* topic;
        const char* page;
    } rows[] = {
        {"crop", "/html/pctr9flj.htm"},
        {"resize", "/html/pctr9fll.htm"},
        {"jpgqual", "/html/pctr9f5e.htm"},
        {"procbut", "/html/pctr9fle.htm"},
        {"mount", "/html/pctr9flh.htm"},
        {"tools", "/html/pctr9f5d.htm"},
        {"options", "/html/pctr9f5h.htm"},
        {"", kHelpDefaultPage},
        {"Crop", kHelpDefaultPage},
        {"CROP", kHelpDefaultPage},
        {"crop ", kHelpDefaultPage},
        {"cro", kHelpDefaultPage},
        {"html\\pctr9fld.htm", kHelpDefaultPage},  // what the main window's help button passes
        {"html\\pctr9flj.htm", kHelpDefaultPage},  // a page name is not a key
    };
    for (const auto& row : rows) EXPECT_EQ(HelpPageFor(row.topic), row.page) << row.topic;
}

class HelpFiles : public testing::Test {
protected:
    void SetUp() override {
        dir_ = (fs::temp_directory_path() / "pictorra-help-XXXXXX").string();
        ASSERT_NE(mkdtemp(dir_.data()), nullptr);
    }
    void TearDown() override { fs::remove_all(dir_); }
    std::string dir_;
};

TEST_F(HelpFiles, MissingHelpFileIsReportedForEveryTopic) {
    fs::create_directory(dir_ + "/" + kHelpFileName + ".d");
    for (const std::string& path :
         {dir_ + "/" + kHelpFileName, dir_ + "/" + kHelpFileName + ".d", std::string()}) {
        for (const char* topic : {"crop", "tools", "", "Crop"}) {
            const HelpRequest request = DecideHelp(path, topic);
            EXPECT_TRUE(request.file_missing) << path << " " << topic;
            EXPECT_EQ(request.page, "");
        }
    }
    const HelpRequest present = DecideHelp(PICTORRA_HELP_FILE, "mount");
    EXPECT_FALSE(present.file_missing);
    EXPECT_EQ(present.page, "/html/pctr9flh.htm");
}

TEST_F(HelpFiles, ReaderRefusesWhatIsNotAHelpFile) {
    const std::string junk = dir_ + "/junk.chm";
    std::ofstream(junk) << "ITSF but not really a compiled help file";
    for (const std::string& path : {dir_ + "/missing.chm", junk, dir_}) {
        const ChmFile file(path);
        EXPECT_FALSE(file.IsOpen()) << path;
        EXPECT_FALSE(file.Read(kHelpDefaultPage)) << path;
        EXPECT_FALSE(file.Contains(kHelpDefaultPage)) << path;
        EXPECT_TRUE(file.ListFiles().empty()) << path;
        EXPECT_EQ(file.DefaultTopic(), "") << path;
    }
}

std::string Text(const ChmFile& file, const std::string& path) {
    const auto bytes = file.Read(path);
    return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// A link target as a path inside the file: the pages sit in one folder and link by plain name,
// so a target with "../" or its own folder would simply not be found, and the test says so.
std::string Resolve(const std::string& page, const std::string& target) {
    const std::string name = target.substr(0, target.find('#'));
    if (name.empty()) return page;
    return name.front() == '/' ? name : page.substr(0, page.rfind('/') + 1) + name;
}

// The values of every href="..." and src="..." in a page (our pages quote with double quotes).
std::vector<std::string> References(const std::string& html) {
    std::vector<std::string> found;
    for (const std::string attribute : {"href=\"", "src=\""}) {
        for (std::size_t at = html.find(attribute); at != std::string::npos;
             at = html.find(attribute, at + 1)) {
            const std::size_t start = at + attribute.size();
            const std::size_t end = html.find('"', start);
            if (end == std::string::npos) break;
            found.push_back(html.substr(start, end - start));
        }
    }
    return found;
}

class BuiltHelpFile : public testing::Test {
protected:
    BuiltHelpFile() : file_(PICTORRA_HELP_FILE) {}
    ChmFile file_;
};

TEST_F(BuiltHelpFile, OpensAtTheDefaultPageAndHasEveryTopic) {
    ASSERT_TRUE(file_.IsOpen());
    EXPECT_EQ(file_.DefaultTopic(), kHelpDefaultPage);
    std::vector<std::string> pages{kHelpDefaultPage};
    for (const HelpTopic& t : kHelpTopics) pages.emplace_back(t.page);
    for (const std::string& page : pages) {
        const std::string html = Text(file_, page);
        EXPECT_NE(html.find("<title>"), std::string::npos) << page;
        EXPECT_NE(html.find("</html>"), std::string::npos) << page << " read whole";
        EXPECT_GT(html.size(), 1000u) << page << " says something";
    }
    EXPECT_FALSE(file_.Read("/html/no-such-page.htm"));
}

TEST_F(BuiltHelpFile, EveryLinkAndPictureOfEveryPageIsInTheFile) {
    ASSERT_TRUE(file_.IsOpen());
    const std::vector<std::string> files = file_.ListFiles();
    const std::set<std::string> stored(files.begin(), files.end());
    std::set<std::string> linked;
    int pages = 0;
    for (const std::string& path : files) {
        if (!path.ends_with(".htm")) continue;
        ++pages;
        const std::string html = Text(file_, path);
        const std::vector<std::string> references = References(html);
        EXPECT_FALSE(references.empty()) << path;
        for (const std::string& target : references) {
            if (target.find("://") != std::string::npos || target.starts_with("mailto:")) continue;
            const std::string resolved = Resolve(path, target);
            EXPECT_TRUE(stored.count(resolved)) << path << " refers to " << target;
            linked.insert(resolved);
        }
    }
    EXPECT_EQ(pages, 1 + static_cast<int>(std::size(kHelpTopics)));
    // Every page can be reached from the others, so none is lost to a reader who browses.
    for (const std::string& path : files) {
        if (path.ends_with(".htm")) {
            EXPECT_TRUE(linked.count(path)) << path << " is linked from nowhere";
        }
    }
}

}  // namespace
}  // namespace pictorra::shell
