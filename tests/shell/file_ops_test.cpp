// The file-system routines, each test in its own temporary folder.
//
// The tests also run as root (CI does): root ignores permissions, so every case that needs a
// permission to stop something either uses a means that stops root too (an immutable file, a limit
// on open files) or skips with a message when running as root.
#include "shell/file_ops.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

namespace pictorra::shell {
namespace {

namespace fs = std::filesystem;

bool RunningAsRoot() { return geteuid() == 0; }

void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

mode_t Mode(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) != 0) return 0;
    return st.st_mode & 07777;
}

bool Exists(const std::string& path) {
    struct stat st;
    return lstat(path.c_str(), &st) == 0;  // the entry itself, links not followed
}

void MakeFolder(const std::string& path) { ASSERT_EQ(mkdir(path.c_str(), 0755), 0) << path; }

void MakeLink(const std::string& target, const std::string& link) {
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0) << link;
}

void Chmod(const std::string& path, mode_t mode) {
    ASSERT_EQ(chmod(path.c_str(), mode), 0) << path;
}

// Sets or clears the immutable flag (FS_IOC_SETFLAGS); false where the file system or the
// process's capabilities do not allow it.
bool SetImmutable(const std::string& path, bool on) {
    const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    int flags = 0;
    bool ok = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    close(fd);
    return ok;
}

// A fresh folder under $TMPDIR (or /tmp), removed with everything in it at the end of the test,
// whatever permissions and flags the test left behind. Links are never followed while cleaning.
class TempFolderTest : public testing::Test {
protected:
    void SetUp() override {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/pictorra-fileops-XXXXXX";
        ASSERT_NE(mkdtemp(pattern.data()), nullptr) << "mkdtemp: " << std::strerror(errno);
        dir_ = pattern;
    }

    void TearDown() override {
        for (const std::string& path : immutable_) SetImmutable(path, false);
        if (dir_.empty()) return;
        MakeRemovable(dir_);
        std::error_code ec;
        fs::remove_all(dir_, ec);
        EXPECT_FALSE(ec) << "cleaning " << dir_ << ": " << ec.message();
    }

    // The path of `name` inside the temporary folder.
    std::string Path(const std::string& name) const { return dir_ + "/" + name; }

    void RememberImmutable(const std::string& path) { immutable_.push_back(path); }

    std::string dir_;

private:
    static void MakeRemovable(const std::string& path) {
        std::error_code ec;
        if (!fs::is_directory(fs::symlink_status(path, ec))) return;
        chmod(path.c_str(), 0700);
        for (const auto& entry : fs::directory_iterator(path, ec)) {
            MakeRemovable(entry.path().string());
        }
    }

    std::vector<std::string> immutable_;
};

// --- FileExists, FolderExists ------------------------------------------------------------------

struct ExistenceRow {
    const char* name;
    std::string entry;  // inside the temporary folder; "" tests the empty path itself
    bool file;
    bool folder;
};

void PrintTo(const ExistenceRow& row, std::ostream* os) { *os << '"' << row.entry << '"'; }

class ExistenceTest : public TempFolderTest, public testing::WithParamInterface<ExistenceRow> {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        WriteFile(Path("photo.jpg"), "x");
        WriteFile(Path(".hidden"), "x");
        WriteFile(Path("read only.jpg"), "x");
        Chmod(Path("read only.jpg"), 0444);
        MakeFolder(Path("folder"));
        MakeFolder(Path("Grüße"));
        MakeLink("photo.jpg", Path("link-to-file"));
        MakeLink("folder", Path("link-to-folder"));
        MakeLink("missing", Path("dangling"));
        ASSERT_EQ(mkfifo(Path("pipe").c_str(), 0644), 0);
    }
};

TEST_P(ExistenceTest, Answers) {
    const ExistenceRow& row = GetParam();
    const std::string path = row.entry.empty() ? "" : Path(row.entry);
    EXPECT_EQ(FileExists(path), row.file) << path;
    EXPECT_EQ(FolderExists(path), row.folder) << path;
}

const ExistenceRow kExistence[] = {
    {"File", "photo.jpg", true, false},
    {"HiddenFile", ".hidden", true, false},
    {"ReadOnlyFile", "read only.jpg", true, false},
    {"Folder", "folder", false, true},
    {"FolderTrailingSlash", "folder/", false, true},
    {"NonAsciiFolder", "Grüße", false, true},
    {"FileWithTrailingSlash", "photo.jpg/", false, false},
    {"Missing", "nothing.jpg", false, false},
    {"MissingParent", "nothing/photo.jpg", false, false},
    {"LinkToFile", "link-to-file", true, false},
    {"LinkToFolder", "link-to-folder", false, true},
    {"DanglingLink", "dangling", false, false},
    {"PipeIsNoFile", "pipe", false, false},
    {"EmptyPath", "", false, false},
};

INSTANTIATE_TEST_SUITE_P(Table, ExistenceTest, testing::ValuesIn(kExistence),
                         [](const testing::TestParamInfo<ExistenceRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TempFolderTest, ExistenceTestsRefuseAnEmbeddedNul) {
    WriteFile(Path("a.jpg"), "x");
    const std::string cut = Path("a.jpg") + std::string(1, '\0') + "b";
    EXPECT_FALSE(FileExists(cut));
    EXPECT_FALSE(FolderExists(dir_ + std::string(1, '\0')));
}

// --- KillFile ----------------------------------------------------------------------------------

TEST_F(TempFolderTest, KillFileDeletesAReadOnlyFile) {
    WriteFile(Path("ro.jpg"), "x");
    Chmod(Path("ro.jpg"), 0444);
    KillFile(Path("ro.jpg"));
    EXPECT_FALSE(Exists(Path("ro.jpg")));
}

TEST_F(TempFolderTest, KillFileDeletesHiddenFilesAndNamesWithBlanks) {
    WriteFile(Path(".hidden"), "x");
    WriteFile(Path(" Grüße 1 .jpg"), "x");
    KillFile(Path(".hidden"));
    KillFile(Path(" Grüße 1 .jpg"));
    EXPECT_FALSE(Exists(Path(".hidden")));
    EXPECT_FALSE(Exists(Path(" Grüße 1 .jpg")));
}

TEST_F(TempFolderTest, KillFileOnAMissingPathDoesNothing) {
    KillFile(Path("missing.jpg"));
    KillFile("");
    EXPECT_TRUE(FolderExists(dir_));
}

TEST_F(TempFolderTest, KillFileLeavesAFolder) {
    MakeFolder(Path("folder"));
    Chmod(Path("folder"), 0555);
    KillFile(Path("folder"));
    EXPECT_TRUE(FolderExists(Path("folder")));
    EXPECT_EQ(Mode(Path("folder")), 0555u);
}

TEST_F(TempFolderTest, KillFileRemovesALinkAndNotItsTarget) {
    WriteFile(Path("target.jpg"), "keep");
    Chmod(Path("target.jpg"), 0444);
    MakeLink(Path("target.jpg"), Path("link.jpg"));
    KillFile(Path("link.jpg"));
    EXPECT_FALSE(Exists(Path("link.jpg")));
    EXPECT_EQ(ReadFile(Path("target.jpg")), "keep");
    EXPECT_EQ(Mode(Path("target.jpg")), 0444u);
}

TEST_F(TempFolderTest, KillFileLeavesTheModeOfAnotherHardLink) {
    WriteFile(Path("original.jpg"), "keep");
    Chmod(Path("original.jpg"), 0444);
    ASSERT_EQ(link(Path("original.jpg").c_str(), Path("second.jpg").c_str()), 0);
    KillFile(Path("second.jpg"));
    EXPECT_FALSE(Exists(Path("second.jpg")));
    EXPECT_EQ(ReadFile(Path("original.jpg")), "keep");
    EXPECT_EQ(Mode(Path("original.jpg")), 0444u);
}

// --- MoveFileOver ------------------------------------------------------------------------------

TEST_F(TempFolderTest, MoveFileOverWithAMissingSourceLeavesTheDestination) {
    WriteFile(Path("nothwoop.wav"), "old");
    MoveFileOver(Path("thwoop.wav"), Path("nothwoop.wav"));
    EXPECT_EQ(ReadFile(Path("nothwoop.wav")), "old");
}

TEST_F(TempFolderTest, MoveFileOverMovesToANewName) {
    WriteFile(Path("thwoop.wav"), std::string(200000, 's'));  // more than one copy buffer
    MoveFileOver(Path("thwoop.wav"), Path("nothwoop.wav"));
    EXPECT_FALSE(Exists(Path("thwoop.wav")));
    EXPECT_EQ(ReadFile(Path("nothwoop.wav")), std::string(200000, 's'));
}

TEST_F(TempFolderTest, MoveFileOverReplacesAReadOnlyDestination) {
    WriteFile(Path("src.jpg"), "new");
    WriteFile(Path("dst.jpg"), "old content");
    Chmod(Path("dst.jpg"), 0444);
    MoveFileOver(Path("src.jpg"), Path("dst.jpg"));
    EXPECT_FALSE(Exists(Path("src.jpg")));
    EXPECT_EQ(ReadFile(Path("dst.jpg")), "new");
}

TEST_F(TempFolderTest, MoveFileOverMakesAReadOnlySourceNormal) {
    WriteFile(Path("src.jpg"), "new");
    Chmod(Path("src.jpg"), 0444);
    MoveFileOver(Path("src.jpg"), Path("dst.jpg"));
    EXPECT_FALSE(Exists(Path("src.jpg")));
    EXPECT_EQ(ReadFile(Path("dst.jpg")), "new");
    EXPECT_EQ(Mode(Path("dst.jpg")), 0644u);
}

TEST_F(TempFolderTest, MoveFileOverOntoItselfKeepsTheFile) {
    WriteFile(Path("same.jpg"), "keep");
    MakeLink("same.jpg", Path("alias.jpg"));
    MoveFileOver(Path("same.jpg"), Path("same.jpg"));
    MoveFileOver(Path("same.jpg"), Path("./same.jpg"));
    MoveFileOver(Path("same.jpg"), Path("alias.jpg"));
    MoveFileOver(Path("alias.jpg"), Path("same.jpg"));
    EXPECT_EQ(ReadFile(Path("same.jpg")), "keep");
}

TEST_F(TempFolderTest, MoveFileOverKeepsTheSourceWhenTheCopyFails) {
    WriteFile(Path("src.jpg"), "keep");
    MoveFileOver(Path("src.jpg"), Path("no such folder/dst.jpg"));
    EXPECT_EQ(ReadFile(Path("src.jpg")), "keep");
    EXPECT_FALSE(Exists(Path("no such folder")));
}

TEST_F(TempFolderTest, MoveFileOverOfAFolderDoesNothing) {
    MakeFolder(Path("folder"));
    WriteFile(Path("dst.jpg"), "old");
    MoveFileOver(Path("folder"), Path("dst.jpg"));
    EXPECT_TRUE(FolderExists(Path("folder")));
    EXPECT_EQ(ReadFile(Path("dst.jpg")), "old");
}

TEST_F(TempFolderTest, MoveFileOverOntoAFolderKeepsBoth) {
    WriteFile(Path("src.jpg"), "keep");
    MakeFolder(Path("folder"));
    MoveFileOver(Path("src.jpg"), Path("folder"));
    EXPECT_EQ(ReadFile(Path("src.jpg")), "keep");
    EXPECT_TRUE(FolderExists(Path("folder")));
}

// --- ListFiles ---------------------------------------------------------------------------------

TEST_F(TempFolderTest, ListFilesOfAnEmptyFolder) {
    std::string list = "stale";
    EXPECT_EQ(ListFiles(dir_, "", list), 0);
    EXPECT_EQ(list, "");
}

TEST_F(TempFolderTest, ListFilesOfOneFile) {
    WriteFile(Path("x.jpg"), "x");
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "", list), 1);
    EXPECT_EQ(list, "x.jpg");
    EXPECT_EQ(ListFiles(dir_ + "/", "jpg", list), 1);
    EXPECT_EQ(list, "x.jpg");
}

TEST_F(TempFolderTest, ListFilesOfAMissingFolderOrAFile) {
    WriteFile(Path("x.jpg"), "x");
    std::string list = "stale";
    EXPECT_EQ(ListFiles(Path("missing"), "", list), 0);
    EXPECT_EQ(list, "");
    list = "stale";
    EXPECT_EQ(ListFiles(Path("x.jpg"), "", list), 0);
    EXPECT_EQ(list, "");
    EXPECT_EQ(ListFiles("", "", list), 0);
    EXPECT_EQ(list, "");
}

TEST_F(TempFolderTest, ListFilesListsHiddenFilesButNeverFolders) {
    WriteFile(Path(".hidden.jpg"), "x");
    WriteFile(Path("..two dots"), "x");
    WriteFile(Path("plain.jpg"), "x");
    WriteFile(Path("read only.jpg"), "x");
    Chmod(Path("read only.jpg"), 0444);
    MakeFolder(Path("sub.jpg"));
    MakeFolder(Path(".hidden folder"));
    WriteFile(Path("sub.jpg/inner.jpg"), "x");
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "", list), 4);
    EXPECT_EQ(list, "..two dots*.hidden.jpg*plain.jpg*read only.jpg");
}

TEST_F(TempFolderTest, ListFilesKeepsFilesAndLinksToFilesOnly) {
    WriteFile(Path("a.jpg"), "x");
    MakeFolder(Path("folder"));
    MakeLink("a.jpg", Path("link to file.jpg"));
    MakeLink("folder", Path("link to folder.jpg"));
    MakeLink("missing.jpg", Path("dangling.jpg"));
    ASSERT_EQ(mkfifo(Path("pipe.jpg").c_str(), 0644), 0);
    WriteFile(Path("st*r.jpg"), "x");  // "*" cannot be split again
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "", list), 2);
    EXPECT_EQ(list, "a.jpg*link to file.jpg");
}

TEST_F(TempFolderTest, ListFilesSortsWithoutRegardToCaseThenByBytes) {
    // Created in the reverse of the expected order; the file system's order is arbitrary anyway.
    const std::vector<std::string> expected = {"10.jpg", "9.jpg",  "a b.jpg", "A.jpg",
                                               "a.jpg",  "ab.jpg", "B.JPG",   "b.jpg",
                                               "_x.jpg", "Ä.jpg",  "ä.jpg",   "海.jpg"};
    for (auto it = expected.rbegin(); it != expected.rend(); ++it) WriteFile(Path(*it), "x");
    std::string joined;
    for (const std::string& name : expected) joined += (joined.empty() ? "" : "*") + name;
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "", list), static_cast<int16_t>(expected.size()));
    EXPECT_EQ(list, joined);
    std::string again;
    ListFiles(dir_, "", again);
    EXPECT_EQ(again, list);
}

struct FilterRow {
    const char* name;
    std::string extension;
    int16_t count;
    std::string list;
};

void PrintTo(const FilterRow& row, std::ostream* os) { *os << '"' << row.extension << '"'; }

class ListFilesFilterTest : public TempFolderTest, public testing::WithParamInterface<FilterRow> {
protected:
    void SetUp() override {
        TempFolderTest::SetUp();
        for (const char* name : {"a.jpg", "b.JPG", "c.jpeg", "d.jpg.bak", "e.bak.jpg", "f.",
                                 "g.Jpg", ".jpg", "noext", "h.gif"}) {
            WriteFile(Path(name), "x");
        }
        MakeFolder(Path("sub.jpg"));
    }
};

TEST_P(ListFilesFilterTest, MatchesLikeThePlatformPattern) {
    std::string list;
    EXPECT_EQ(ListFiles(dir_, GetParam().extension, list), GetParam().count);
    EXPECT_EQ(list, GetParam().list);
}

const FilterRow kFilters[] = {
    {"Empty", "", 10, ".jpg*a.jpg*b.JPG*c.jpeg*d.jpg.bak*e.bak.jpg*f.*g.Jpg*h.gif*noext"},
    {"StarDotStar", "*", 10, ".jpg*a.jpg*b.JPG*c.jpeg*d.jpg.bak*e.bak.jpg*f.*g.Jpg*h.gif*noext"},
    {"Lower", "jpg", 5, ".jpg*a.jpg*b.JPG*e.bak.jpg*g.Jpg"},
    {"Upper", "JPG", 5, ".jpg*a.jpg*b.JPG*e.bak.jpg*g.Jpg"},
    {"Jpeg", "jpeg", 1, "c.jpeg"},
    {"QuestionMark", "j?g", 5, ".jpg*a.jpg*b.JPG*e.bak.jpg*g.Jpg"},
    {"Star", "jp*", 7, ".jpg*a.jpg*b.JPG*c.jpeg*d.jpg.bak*e.bak.jpg*g.Jpg"},
    {"LastExtension", "bak", 1, "d.jpg.bak"},
    {"NoMatch", "tif", 0, ""},
};

INSTANTIATE_TEST_SUITE_P(Table, ListFilesFilterTest, testing::ValuesIn(kFilters),
                         [](const testing::TestParamInfo<FilterRow>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(TempFolderTest, ListFilesQuestionMarkIsOneCharacter) {
    WriteFile(Path("a.é"), "x");
    WriteFile(Path("b.ée"), "x");
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "?", list), 1);
    EXPECT_EQ(list, "a.é");
}

TEST_F(TempFolderTest, ListFilesStopsAtTheLargest16BitCount) {
    const int total = kMaxListedFiles + 2;
    for (int i = 0; i < total; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "%05d.jpg", i);
        const int fd = open(Path(name).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        ASSERT_GE(fd, 0) << name;
        close(fd);
    }
    std::string list;
    EXPECT_EQ(ListFiles(dir_, "jpg", list), kMaxListedFiles);
    std::vector<std::string> names;
    std::stringstream split(list);
    for (std::string name; std::getline(split, name, '*');) names.push_back(name);
    ASSERT_EQ(names.size(), static_cast<size_t>(kMaxListedFiles));
    EXPECT_EQ(names.front(), "00000.jpg");
    EXPECT_EQ(names.back(), "32766.jpg");  // the last two of the order are left out
}

// --- DeleteFolderTree --------------------------------------------------------------------------

// A small tree with every kind of entry that can be deleted: "tree/" holds plain, hidden and
// read-only files, names with blanks and umlauts, a read-only sub-folder with a file, a sub-folder
// without any permission with a file, nested folders and an empty one.
void MakeTree(const std::string& tree) {
    MakeFolder(tree);
    WriteFile(tree + "/plain.jpg", "x");
    WriteFile(tree + "/.hidden", "x");
    WriteFile(tree + "/read only.jpg", "x");
    Chmod(tree + "/read only.jpg", 0444);
    WriteFile(tree + "/Grüße 1.bmp", "x");
    MakeFolder(tree + "/read-only folder");
    WriteFile(tree + "/read-only folder/inside.jpg", "x");
    Chmod(tree + "/read-only folder/inside.jpg", 0400);
    Chmod(tree + "/read-only folder", 0555);
    MakeFolder(tree + "/closed folder");
    WriteFile(tree + "/closed folder/inside.jpg", "x");
    Chmod(tree + "/closed folder", 0);
    MakeFolder(tree + "/a");
    MakeFolder(tree + "/a/b");
    MakeFolder(tree + "/a/b/c");
    WriteFile(tree + "/a/b/c/deep.gif", "x");
    MakeFolder(tree + "/.hidden folder");
    MakeFolder(tree + "/empty");
}

class DeleteFolderTreeSpellingTest : public TempFolderTest,
                                     public testing::WithParamInterface<const char*> {};

TEST_P(DeleteFolderTreeSpellingTest, RemovesEverything) {
    MakeTree(Path("tree"));
    DeleteFolderTree(Path("tree") + GetParam());
    EXPECT_FALSE(Exists(Path("tree")));
    EXPECT_TRUE(FolderExists(dir_));
}

INSTANTIATE_TEST_SUITE_P(Table, DeleteFolderTreeSpellingTest, testing::Values("", "/", "//"),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return std::string(info.param[0] == '\0'   ? "NoSlash"
                                                : info.param[1] == '\0' ? "TrailingSlash"
                                                                        : "TwoSlashes");
                         });

TEST_F(TempFolderTest, DeleteFolderTreeOnAFileDoesNothing) {
    WriteFile(Path("photo.jpg"), "keep");
    DeleteFolderTree(Path("photo.jpg"));
    DeleteFolderTree(Path("photo.jpg/"));
    EXPECT_EQ(ReadFile(Path("photo.jpg")), "keep");
}

TEST_F(TempFolderTest, DeleteFolderTreeOnAMissingOrEmptyPathDoesNothing) {
    DeleteFolderTree(Path("missing"));
    DeleteFolderTree("");
    EXPECT_TRUE(FolderExists(dir_));
}

TEST_F(TempFolderTest, DeleteFolderTreeRemovesALinkToAnOutsideFolderOnly) {
    MakeFolder(Path("outside"));
    WriteFile(Path("outside/precious.jpg"), "keep");
    Chmod(Path("outside/precious.jpg"), 0444);
    MakeFolder(Path("outside/sub"));
    WriteFile(Path("outside/sub/also.jpg"), "keep");
    MakeFolder(Path("tree"));
    MakeLink(Path("outside"), Path("tree/absolute link"));
    MakeLink("../outside", Path("tree/relative link"));
    MakeLink(Path("outside/precious.jpg"), Path("tree/link to file.jpg"));
    DeleteFolderTree(Path("tree"));
    EXPECT_FALSE(Exists(Path("tree")));
    EXPECT_EQ(ReadFile(Path("outside/precious.jpg")), "keep");
    EXPECT_EQ(Mode(Path("outside/precious.jpg")), 0444u);
    EXPECT_EQ(ReadFile(Path("outside/sub/also.jpg")), "keep");
}

TEST_F(TempFolderTest, DeleteFolderTreeOnALinkRemovesTheLinkOnly) {
    MakeFolder(Path("outside"));
    WriteFile(Path("outside/precious.jpg"), "keep");
    MakeLink(Path("outside"), Path("link"));
    DeleteFolderTree(Path("link"));
    EXPECT_FALSE(Exists(Path("link")));
    EXPECT_EQ(ReadFile(Path("outside/precious.jpg")), "keep");
    MakeLink(Path("outside"), Path("link"));
    DeleteFolderTree(Path("link/"));
    EXPECT_FALSE(Exists(Path("link")));
    EXPECT_EQ(ReadFile(Path("outside/precious.jpg")), "keep");
}

TEST_F(TempFolderTest, DeleteFolderTreeKeepsTheModeOfAnOutsideHardLink) {
    WriteFile(Path("precious.jpg"), "keep");
    Chmod(Path("precious.jpg"), 0444);
    MakeFolder(Path("tree"));
    ASSERT_EQ(link(Path("precious.jpg").c_str(), Path("tree/second name.jpg").c_str()), 0);
    DeleteFolderTree(Path("tree"));
    EXPECT_FALSE(Exists(Path("tree")));
    EXPECT_EQ(ReadFile(Path("precious.jpg")), "keep");
    EXPECT_EQ(Mode(Path("precious.jpg")), 0444u);
}

TEST_F(TempFolderTest, DeleteFolderTreeWithLinkLoopsInside) {
    MakeFolder(Path("tree"));
    MakeFolder(Path("tree/a"));
    MakeLink("..", Path("tree/a/up"));
    MakeLink(".", Path("tree/a/here"));
    MakeLink(Path("tree"), Path("tree/a/top"));
    MakeLink("self", Path("tree/self"));
    MakeLink("y", Path("tree/x"));
    MakeLink("x", Path("tree/y"));
    DeleteFolderTree(Path("tree"));
    EXPECT_FALSE(Exists(Path("tree")));
}

TEST_F(TempFolderTest, DeleteFolderTreeOfADeepTree) {
    std::string path = Path("tree");
    MakeFolder(path);
    for (int i = 0; i < 100; ++i) {
        path += "/d";
        MakeFolder(path);
    }
    WriteFile(path + "/deep.jpg", "x");
    DeleteFolderTree(Path("tree"));
    EXPECT_FALSE(Exists(Path("tree")));
}

// An entry that cannot be deleted, even by root: the routine gives up on it and returns.
TEST_F(TempFolderTest, DeleteFolderTreeGivesUpOnAnImmutableFile) {
    MakeFolder(Path("tree"));
    MakeFolder(Path("tree/sub"));
    WriteFile(Path("tree/sub/locked.jpg"), "keep");
    if (!SetImmutable(Path("tree/sub/locked.jpg"), true)) {
        GTEST_SKIP() << "cannot set the immutable flag here (needs CAP_LINUX_IMMUTABLE and a "
                        "file system that supports it)";
    }
    RememberImmutable(Path("tree/sub/locked.jpg"));
    DeleteFolderTree(Path("tree"));
    EXPECT_EQ(ReadFile(Path("tree/sub/locked.jpg")), "keep");
    EXPECT_TRUE(FolderExists(Path("tree")));
}

// Lowers the limit of open files for the life of the object.
class OpenFileLimit {
public:
    explicit OpenFileLimit(rlim_t soft) {
        ok_ = getrlimit(RLIMIT_NOFILE, &saved_) == 0;
        struct rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ok_ = ok_ && setrlimit(RLIMIT_NOFILE, &lowered) == 0;
    }
    ~OpenFileLimit() {
        if (ok_) setrlimit(RLIMIT_NOFILE, &saved_);
    }
    OpenFileLimit(const OpenFileLimit&) = delete;
    OpenFileLimit& operator=(const OpenFileLimit&) = delete;
    bool ok() const { return ok_; }

private:
    struct rlimit saved_ {};
    bool ok_ = false;
};

// Folders that cannot be opened, even by root: the routine stops and returns.
TEST_F(TempFolderTest, DeleteFolderTreeGivesUpWhenFoldersCannotBeOpened) {
    std::string path = Path("tree");
    MakeFolder(path);
    for (int i = 0; i < 20; ++i) {
        path += "/d";
        MakeFolder(path);
    }
    WriteFile(path + "/deep.jpg", "keep");
    const int lowest_free = open("/dev/null", O_RDONLY | O_CLOEXEC);
    ASSERT_GE(lowest_free, 0);
    close(lowest_free);
    {
        OpenFileLimit limit(static_cast<rlim_t>(lowest_free) + 4);
        ASSERT_TRUE(limit.ok());
        DeleteFolderTree(Path("tree"));
    }
    EXPECT_TRUE(FolderExists(Path("tree")));
    EXPECT_EQ(ReadFile(path + "/deep.jpg"), "keep");
    DeleteFolderTree(Path("tree"));  // with the limit back, it all goes
    EXPECT_FALSE(Exists(Path("tree")));
}

// The folder itself cannot go when its parent refuses; its entries go first.
TEST_F(TempFolderTest, DeleteFolderTreeLeavesTheFolderWhenItsParentIsReadOnly) {
    if (RunningAsRoot()) GTEST_SKIP() << "running as root: a read-only folder does not stop root";
    MakeFolder(Path("parent"));
    MakeTree(Path("parent/tree"));
    Chmod(Path("parent"), 0555);
    DeleteFolderTree(Path("parent/tree"));
    EXPECT_TRUE(FolderExists(Path("parent/tree")));
    EXPECT_FALSE(Exists(Path("parent/tree/plain.jpg")));
    EXPECT_EQ(Mode(Path("parent")), 0555u);  // the parent is outside the tree: left as it is
}

}  // namespace
}  // namespace pictorra::shell
