// Files that others change under us: the umask under parallel writers; files that shrink, grow
// or are not regular files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <thread>
#include <vector>

#include "image/atomic_file.h"
#include "test_support.h"

namespace pictorra::test {
namespace {

using image::kFileChanged;

TEST(AtomicFile, ParallelWritersKeepTheUmask) {
    const TempDir dir;
    const mode_t old_mask = umask(077);
    std::vector<std::thread> writers;
    for (int t = 0; t < 8; ++t) {
        writers.emplace_back([&dir, t] {
            for (int i = 0; i < 400; ++i) {
                image::AtomicFile out(dir.File(std::to_string(t) + "-" + std::to_string(i)));
                if (out.ok()) fputs("x", out.file());
                EXPECT_TRUE(out.Commit());
            }
        });
    }
    for (auto& w : writers) w.join();
    EXPECT_EQ(umask(old_mask), mode_t{077});
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
        struct stat st {};
        ASSERT_EQ(stat(entry.path().c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << entry.path();
        ++files;
    }
    EXPECT_EQ(files, 8 * 400);  // and no temporary file left beside them
}

TEST(ReadWholeFile, AFileThatChangesOrIsNoPlainFileIsAnError) {
    const TempDir dir;
    const std::string path = dir.File("a.bmp");
    const std::vector<uint8_t> content(5000, 7);
    mkfifo(dir.File("fifo.bmp").c_str(), 0600);
    const struct {
        const char* name;
        std::string path;
        std::function<void()> meanwhile;
        int result;
    } cases[] = {
        {"unchanged", path, {}, 0},
        {"shrinks", path, [&] { ASSERT_EQ(truncate(path.c_str(), 4000), 0); }, kFileChanged},
        {"grows", path, [&] { WriteFileBytes(path, std::vector<uint8_t>(6000, 7)); }, kFileChanged},
        {"emptied", path, [&] { ASSERT_EQ(truncate(path.c_str(), 0), 0); }, kFileChanged},
        // The open file still reads whole after its name is gone.
        {"unlinked", path, [&] { ASSERT_EQ(unlink(path.c_str()), 0); }, 0},
        {"missing", dir.File("none.bmp"), {}, ENOENT},
        {"folder", dir.path().string(), {}, EISDIR},
        {"fifo, never opened for writing", dir.File("fifo.bmp"), {}, EINVAL},
    };
    std::vector<uint8_t> bytes;
    for (const auto& c : cases) {
        WriteFileBytes(path, content);
        EXPECT_EQ(image::ReadWholeFile(c.path, bytes, c.meanwhile), c.result) << c.name;
        EXPECT_EQ(bytes.size(), c.result == 0 ? content.size() : 0u) << c.name;
    }
}

}  // namespace
}  // namespace pictorra::test
