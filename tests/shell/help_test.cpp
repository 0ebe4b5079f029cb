// Help: the page for each topic key, the missing-file decision, and the help file the build makes.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "shell/chm_file.h"
#include "shell/help_topics.h"

namespace pictorra::shell {
namespace {

TEST(Help, TopicKeysAreExactAndAnythingElseOpensTheDefaultPage) {
    const char* const keys[][2] = {{"crop", "flj"},    {"resize", "fll"}, {"jpgqual", "f5e"},
                                   {"procbut", "fle"}, {"mount", "flh"},  {"tools", "f5d"},
                                   {"options", "f5h"}};
    for (const auto& [key, page] : keys)
        EXPECT_EQ(HelpPageFor(key), "/html/pctr9" + std::string(page) + ".htm") << key;
    // Another case, nothing, and the page name the main window's help button passes.
    for (const char* other : {"Crop", "", "html\\pctr9fld.htm"})
        EXPECT_EQ(HelpPageFor(other), kHelpDefaultPage) << other;
}

TEST(Help, MissingFileIsReportedInsteadOfAPage) {
    EXPECT_TRUE(DecideHelp("/nonexistent/pictorra.chm", "crop").file_missing);
    EXPECT_FALSE(DecideHelp(PICTORRA_HELP_FILE, "mount").file_missing);
    EXPECT_EQ(DecideHelp(PICTORRA_HELP_FILE, "mount").page, "/html/pctr9flh.htm");
}

// Every topic's page is in the built file, and every page there is whole and every local href and
// src in it names a file inside it (our pages link by plain name and quote with double quotes).
TEST(Help, BuiltFileHoldsEveryTopicAndEveryLinkedFile) {
    const ChmFile file(PICTORRA_HELP_FILE);
    ASSERT_TRUE(file.IsOpen());
    EXPECT_EQ(file.DefaultTopic(), kHelpDefaultPage);
    const std::vector<std::string> files = file.ListFiles();
    const std::set<std::string, std::less<>> stored(files.begin(), files.end());
    EXPECT_TRUE(stored.contains(kHelpDefaultPage));
    for (const HelpTopic& t : kHelpTopics) EXPECT_TRUE(stored.contains(t.page)) << t.key;
    for (const std::string& page : files) {
        if (!page.ends_with(".htm")) continue;
        const std::vector<uint8_t> bytes = file.Read(page).value_or(std::vector<uint8_t>{});
        const std::string html(bytes.begin(), bytes.end());
        EXPECT_NE(html.find("</html>"), std::string::npos) << page << " read whole";
        for (const std::string attribute : {"href=\"", "src=\""}) {
            for (std::size_t at = html.find(attribute); at != std::string::npos;
                 at = html.find(attribute, at + 1)) {
                const std::size_t start = at + attribute.size();
                std::string target = html.substr(start, html.find_first_of("\"#", start) - start);
                if (target.empty() || target.find("://") != std::string::npos) continue;
                if (target.front() != '/') target = page.substr(0, page.rfind('/') + 1) + target;
                EXPECT_TRUE(stored.contains(target)) << page << " refers to " << target;
            }
        }
    }
}

}  // namespace
}  // namespace pictorra::shell
