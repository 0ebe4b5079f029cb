// The file and folder routines. The tests also run as root, so none relies on a refusal.
#include "shell/file_ops.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>

namespace pictorra::shell {
namespace {

namespace fs = std::filesystem;

std::string Appended(const std::string& path) {
    std::string s = path;
    AddBackslash(s);
    return s;
}
std::string IsImage(const std::string& path) { return IsImageFile(path) ? "image" : "-"; }

TEST(PathSplitting, Table) {
    const struct {
        std::string (*split)(const std::string&);
        std::string path, want;
    } rows[] = {// clang-format off
        {FileBaseName, "/a/b.c.jpg", "b.c"}, {FileBaseName, "/my.pics/photo", "photo"},
        {FileBaseName, ".jpg", ""}, {FileBaseName, "b.jpg", "b"}, {FileBaseName, "/a/b.jpg/", ""},
        {FileExtension, "/a/b.c.jpg", "jpg"}, {FileExtension, "/my.pics/photo", "pics/photo"},
        {FileExtension, "photo.", ""}, {FileExtension, "photo", ""},
        {FileExtension, "/a.JPEG", "JPEG"}, {ParentFolder, "/a/b.jpg", "/a"},
        {ParentFolder, "/b.jpg", "/"}, {ParentFolder, "b.jpg", ""}, {ParentFolder, "/a/b/", "/a/b"},
        {Appended, "", ""}, {Appended, "/a", "/a/"}, {Appended, "/a/", "/a/"},
        {IsImage, "a.JpEg", "image"}, {IsImage, "/p/A.BMP", "image"}, {IsImage, "x.gif", "image"},
        {IsImage, "/my.dir/x.jpg", "image"}, {IsImage, "a.tif", "image"}, {IsImage, "b.TIFF", "image"},
        {IsImage, "c.HeIc", "image"}, {IsImage, "d.heif", "image"}, {IsImage, "e.PNG", "image"},
        {IsImage, "f.webp", "image"}, {IsImage, "g.hif", "-"}, {IsImage, "h.psd", "-"}, {IsImage, "a.jpg ", "-"},
        {IsImage, "/my.jpg/photo", "-"}, {IsImage, "a.jpe", "-"}, {IsImage, "", "-"}};
    // clang-format on
    for (const auto& r : rows) EXPECT_EQ(r.split(r.path), r.want) << r.path;
}

void Write(const std::string& path, const std::string& text = "x", mode_t mode = 0644) {
    std::ofstream(path) << text;
    chmod(path.c_str(), mode);
}
std::string Read(const std::string& path) {
    std::ifstream in(path);
    return {std::istreambuf_iterator<char>(in), {}};
}
bool Exists(const std::string& path) { return fs::exists(fs::symlink_status(path)); }
fs::perms Mode(const std::string& path) { return fs::symlink_status(path).permissions(); }

class FileOps : public testing::Test {
protected:
    void SetUp() override { ASSERT_NE(mkdtemp(dir_.data()), nullptr); }
    void TearDown() override {  // opens what a failed test left locked; follows no link
        std::error_code ec;
        for (auto it = fs::recursive_directory_iterator(dir_, ec); it != decltype(it)();
             it.increment(ec))
            if (!it->is_symlink(ec))
                fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(dir_, ec);
    }
    std::string P(const std::string& name) const { return dir_ + "/" + name; }
    std::string dir_ = (fs::temp_directory_path() / "pictorra-fileops-XXXXXX").string();
};

TEST_F(FileOps, ExistenceFollowsLinksAndKnowsOnlyFilesAndFolders) {
    Write(P("f.jpg"));
    fs::create_directory(P("dir"));
    fs::create_symlink("f.jpg", P("to file"));
    fs::create_symlink("dir", P("to dir"));
    fs::create_symlink("missing", P("dangling"));
    ASSERT_EQ(mkfifo(P("pipe").c_str(), 0644), 0);
    const struct {
        std::string path;
        bool file, folder;
    } rows[] = {{P("f.jpg"), true, false},   {P("dir"), false, true},
                {P("dir/"), false, true},    {P("to file"), true, false},
                {P("to dir"), false, true},  {"", false, false},
                {P("f.jpg/"), false, false}, {P("dangling"), false, false},
                {P("pipe"), false, false},   {P("missing"), false, false}};
    for (const auto& r : rows) {
        EXPECT_EQ(FileExists(r.path), r.file) << r.path;
        EXPECT_EQ(FolderExists(r.path), r.folder) << r.path;
    }
}

TEST_F(FileOps, KillFileRemovesFilesAndLinksButNeverATarget) {
    Write(P("ro.jpg"), "x", 0444);
    Write(P("target.jpg"), "keep", 0444);
    fs::create_symlink(P("target.jpg"), P("link.jpg"));
    ASSERT_EQ(link(P("target.jpg").c_str(), P("other name.jpg").c_str()), 0);
    fs::create_directory(P("dir"));
    for (const char* name : {"ro.jpg", "link.jpg", "other name.jpg", "dir", "missing"})
        KillFile(P(name));
    EXPECT_FALSE(Exists(P("ro.jpg")) || Exists(P("link.jpg")) || Exists(P("other name.jpg")));
    EXPECT_TRUE(FolderExists(P("dir")));
    EXPECT_EQ(Read(P("target.jpg")), "keep");
    EXPECT_EQ(Mode(P("target.jpg")), fs::perms(0444));  // not through the link nor the name
}

TEST_F(FileOps, MoveFileOverCopiesThenDeletesTheSource) {
    const std::string content(200000, 's');  // more than one copy buffer
    Write(P("src"), content, 0444);
    Write(P("dst"), "old", 0444);
    MoveFileOver(P("src"), P("dst"));
    EXPECT_FALSE(Exists(P("src")));
    EXPECT_EQ(Read(P("dst")), content);
    EXPECT_EQ(Mode(P("dst")), fs::perms(0644));  // the source's permissions plus owner write
    // Nothing happens for a missing source, the same file under another name, a failed copy.
    fs::create_symlink("dst", P("alias"));
    MoveFileOver(P("missing"), P("dst"));
    MoveFileOver(P("dst"), P("alias"));
    MoveFileOver(P("dst"), P("no folder/dst"));
    EXPECT_EQ(Read(P("dst")), content);
}

TEST_F(FileOps, ListFilesSortsWithoutCaseAndListsFilesOnly) {
    for (const char* name : {"b.jpg", "B.JPG", "_x.jpg", "a b.jpg", "A.jpg", "10.jpg", "9.jpg",
                             ".h.jpg", "c.jpeg", "d.jpg.bak", "noext", "st*r.jpg"})
        Write(P(name));
    fs::create_directory(P("sub.jpg"));
    fs::create_symlink("sub.jpg", P("to dir.jpg"));
    fs::create_symlink("A.jpg", P("ln.jpg"));
    fs::create_symlink("missing", P("dangling.jpg"));
    ASSERT_EQ(mkfifo(P("pipe.jpg").c_str(), 0644), 0);
    // clang-format off
    const std::string jpg = ".h.jpg*10.jpg*9.jpg*a b.jpg*A.jpg*B.JPG*b.jpg*ln.jpg*_x.jpg";
    const std::pair<std::string, std::string> rows[] = {
        {"", ".h.jpg*10.jpg*9.jpg*a b.jpg*A.jpg*B.JPG*b.jpg*c.jpeg*d.jpg.bak*ln.jpg*noext*_x.jpg"},
        {"jp*", ".h.jpg*10.jpg*9.jpg*a b.jpg*A.jpg*B.JPG*b.jpg*c.jpeg*d.jpg.bak*ln.jpg*_x.jpg"},
        {"JPG", jpg}, {"j?g", jpg}, {"tif", ""}};
    // clang-format on
    for (const auto& [extension, want] : rows) {
        std::string list;
        const int16_t count = ListFiles(dir_ + "/", extension, list);
        EXPECT_EQ(list, want) << extension;
        EXPECT_EQ(count, want.empty() ? 0 : std::count(want.begin(), want.end(), '*') + 1);
    }
    std::string list = "stale";
    EXPECT_EQ(ListFiles(P("missing"), "", list), 0);
    EXPECT_EQ(list, "");
}

TEST_F(FileOps, DeleteFolderTreeRemovesEverythingAndFollowsNoLink) {
    fs::create_directories(P("outside/sub"));
    Write(P("outside/keep.jpg"), "keep", 0444);
    // Not a folder: only the link goes.
    fs::create_symlink(P("outside"), P("link"));
    for (const std::string& path :
         {P("outside/keep.jpg"), P("outside/keep.jpg/"), P("missing"), std::string(), P("link/")})
        DeleteFolderTree(path);
    EXPECT_FALSE(Exists(P("link")));
    for (const std::string spelling : {"", "/", "//"}) {
        const std::string tree = P("tree");
        fs::create_directories(tree + "/a/b/c");
        Write(tree + "/a/b/c/deep.gif");
        Write(tree + "/.hidden");
        Write(tree + "/read only.jpg", "x", 0444);
        for (const auto& [folder, mode] : {std::pair{"/read only", 0555}, {"/closed", 0}}) {
            fs::create_directory(tree + folder);
            Write(tree + folder + "/in.jpg");
            chmod((tree + folder).c_str(), mode_t(mode));
        }
        fs::create_symlink(P("outside"), tree + "/absolute link");
        fs::create_symlink("../outside", tree + "/relative link");
        fs::create_symlink(P("outside/keep.jpg"), tree + "/a/link to file");
        fs::create_symlink("..", tree + "/a/up");
        ASSERT_EQ(link(P("outside/keep.jpg").c_str(), (tree + "/other name").c_str()), 0);
        DeleteFolderTree(tree + spelling);
        ASSERT_EQ(Read(P("outside/keep.jpg")), "keep");
        ASSERT_EQ(Mode(P("outside/keep.jpg")), fs::perms(0444));
        ASSERT_TRUE(FolderExists(P("outside/sub")));
        ASSERT_FALSE(Exists(tree)) << spelling;
    }
}

}  // namespace
}  // namespace pictorra::shell
