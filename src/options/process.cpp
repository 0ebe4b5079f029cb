// cOptions::ProcessPics: the job itself, for one file or every picture of a folder.
#include <sys/stat.h>

#include <condition_variable>
#include <deque>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "image/atomic_file.h"
#include "options/c_options.h"
#include "shell/file_ops.h"
#include "shell/shared_values.h"

namespace pictorra::options {
namespace {

constexpr const char* kLineBreak = "\r\n";

// True when both paths name one existing file (also through links or "." parts).
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> names;
    if (list.empty()) return names;
    size_t start = 0;
    for (;;) {
        const size_t star = list.find('*', start);
        names.push_back(list.substr(start, star - start));
        if (star == std::string::npos) break;
        start = star + 1;
    }
    return names;
}

}  // namespace

void cOptions::ProcessPics() {
    error_text_.clear();
    windows_.SetNewName("");
    outcome_ = RunOutcome::kNotRun;
    failed_ = 0;
    ReadOptions();
    if (drop_type_ == kDropFile) ProcessSingleFile();
    else if (drop_type_ == kDropFolder) ProcessFolder();
}

cOptions::FileJob cOptions::MakeFileJob() {
    const OptionControls c = windows_.ReadControls();
    FileJob job;
    job.crop = c.CkCrop;
    job.mount = c.CkMount;
    job.resize = c.CkResize;
    job.crop_enabled = crop_enabled_;
    job.mount_enabled = mount_enabled_;
    job.ratio_small = ratio_small_;
    job.ratio_large = ratio_large_;
    job.orient = orient_index_;
    job.manual = ManualCrop{shell::gManualCrop, box_.crop.Left, box_.crop.Top, box_.ScaleWidth,
                            box_.ScaleHeight};
    job.mount_color = shell::gMountColor;
    job.resize_size = resize_size_;
    job.resize_hq = resize_hq_;
    job.file_type = file_type_;
    job.jpg_quality = jpg_quality_;
    return job;
}

void cOptions::ProcessSingleFile() {
    dest_folder_ = shell::ParentFolder(old_file_path_);
    // A picture in the root folder has an empty parent; its output still belongs beside it.
    if (dest_folder_.empty() && old_file_path_.starts_with('/')) dest_folder_ = "/";
    shell::AddBackslash(dest_folder_);
    source_base_ = shell::FileBaseName(old_file_path_);
    std::string user = ReadUserName();
    if (user.empty()) {
        dest_file_name_ = DecorateName(source_base_);
    } else {
        // A folder part or an extension typed with the name is dropped.
        dest_file_name_ = shell::FileBaseName(user);
    }
    dest_file_ = dest_folder_ + dest_file_name_ + file_ext_;
    dest_file_name_ += file_ext_;

    if (shell::FileExists(dest_file_)) {
        if (!windows_.Ask("File exists:" + std::string(kLineBreak) + dest_file_ + kLineBreak +
                          "Overwrite?")) {
            outcome_ = RunOutcome::kCancelled;
            return;
        }
        // When the output is the source itself it must survive until it has been read; the
        // finished output replaces it then.
        if (!SameFile(dest_file_, old_file_path_)) shell::KillFile(dest_file_);
    }

    // The preview holds the picture exactly as a new decode would give it; reusing it saves
    // decoding the file twice, as long as the file has not changed since.
    const FileResult result = ProcessFile(MakeFileJob(), old_file_path_, dest_file_,
                                          PreviewIsCurrent() ? &preview_pic_ : nullptr);
    TakeFileResult(result);
    last_file_code_ = result.code;
    outcome_ = RunOutcome::kFinished;
    if (result.code != 0) {
        failed_ = 1;
        windows_.SetReport("Error processing file - Err. " + std::to_string(result.code));
        return;
    }
    windows_.SetReport(" 1 file processed.");
    windows_.SetNewName("File: " + dest_file_name_);
}

void cOptions::ProcessFolder() {
    shell::AddBackslash(old_folder_path_);
    dest_folder_name_ = DecorateName(folder_base_);
    dest_folder_ = old_folder_path_ + dest_folder_name_;
    if (shell::FolderExists(dest_folder_)) {
        if (!windows_.Ask("Destination folder for processed images:" + std::string(kLineBreak) +
                          dest_folder_ + kLineBreak + "Folder exists. Delete it?")) {
            outcome_ = RunOutcome::kCancelled;
            return;
        }
        shell::DeleteFolderTree(dest_folder_);
    }

    std::string list;
    const int count = shell::ListFiles(old_folder_path_, "", list);
    if (count == 0) {
        windows_.Inform("No files in selected folder.");
        outcome_ = RunOutcome::kNoFiles;
        return;
    }
    source_list_.clear();
    dest_list_.clear();
    for (const std::string& name : SplitList(list)) {
        if (!shell::IsImageFile(name)) continue;
        source_list_.push_back(old_folder_path_ + name);
        dest_list_.push_back(dest_folder_ + "/" + shell::FileBaseName(name) + file_ext_);
    }
    if (source_list_.empty()) {
        windows_.Inform("No BMP, JPG, or GIF files in folder.");
        outcome_ = RunOutcome::kNoPictures;
        return;
    }
    mkdir(dest_folder_.c_str(), 0777);
    shell::AddBackslash(dest_folder_);

    const int total = int(source_list_.size());
    int done = 0;
    // Results are taken strictly in list order, so labels, error text and log come out the
    // same however many pictures are worked on at once.
    auto take = [&](int i, const FileResult& result) {
        TakeFileResult(result);
        if (result.code != 0) {
            ++failed_;
            error_text_ += source_list_[size_t(i)] + " - Error: " + std::to_string(result.code) +
                           kLineBreak;
        } else {
            ++done;
            windows_.SetReport("  " + std::to_string(done) + " files processed");
        }
        windows_.PictureFinished(i + 1, total);
        windows_.ProcessPendingEvents();
    };

    auto one_after_another = [&] {
        for (int i = 0; i < total; ++i)
            take(i, ProcessFile(MakeFileJob(), source_list_[size_t(i)], dest_list_[size_t(i)]));
    };
    if (jobs_ <= 1 || total == 1) {
        one_after_another();
    } else {
        std::mutex mutex;
        std::condition_variable changed;
        std::deque<std::pair<int, FileJob>> queue;
        std::vector<std::optional<FileResult>> results(static_cast<size_t>(total));
        bool closing = false;
        int finished = 0;  // pictures whose worker is done with them
        auto worker = [&] {
            for (;;) {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return closing || !queue.empty(); });
                if (queue.empty()) return;
                auto [i, job] = std::move(queue.front());
                queue.pop_front();
                lock.unlock();
                FileResult r = ProcessFile(job, source_list_[size_t(i)], dest_list_[size_t(i)]);
                lock.lock();
                results[size_t(i)] = r;
                ++finished;
                changed.notify_all();
            }
        };
        std::vector<std::jthread> threads;
        try {
            for (int w = 0; w < std::min(jobs_, total); ++w) threads.emplace_back(worker);
        } catch (const std::system_error&) {
            // The system gave fewer threads than asked for; work with those there are.
        }
        const int workers = static_cast<int>(threads.size());
        if (workers == 0) one_after_another();
        int dispatched = 0;
        for (int next = 0; workers > 0 && next < total; ++next) {
            FileResult r;
            for (;;) {
                // Keep every worker busy: a finished picture frees its worker even while an
                // earlier, slower one still holds up the in-order reporting. Pictures being
                // worked on never outnumber the workers.
                while (dispatched < total) {
                    {
                        std::lock_guard lock(mutex);
                        if (dispatched - finished >= workers) break;
                    }
                    FileJob job = MakeFileJob();
                    std::lock_guard lock(mutex);
                    queue.emplace_back(dispatched++, job);
                    changed.notify_all();
                }
                std::unique_lock lock(mutex);
                if (results[size_t(next)].has_value()) {
                    r = *results[size_t(next)];
                    break;
                }
                const int seen = finished;
                changed.wait(lock, [&] { return finished != seen; });
            }
            take(next, r);
        }
        {
            std::lock_guard lock(mutex);
            closing = true;
            changed.notify_all();
        }
    }

    outcome_ = RunOutcome::kFinished;
    windows_.SetReport("  " + std::to_string(done) + " files processed");
    windows_.SetNewName("Folder: " + dest_folder_name_);
    if (!error_text_.empty()) {
        const std::string log = WriteErrorLog();
        if (!log.empty())
            windows_.Inform("Errors with some files processed. Error log saved as:" +
                            std::string(kLineBreak) + log);
    }
}

void cOptions::TakeFileResult(const FileResult& result) {
    if (!result.geometry_computed) return;
    geometry_ = result.geometry;
    ShowGeometry(result.geometry);
}

cOptions::FileResult cOptions::ProcessFile(const FileJob& job, const std::string& Src,
                                           const std::string& Dst,
                                           const image::cImage* loaded) const {
    FileResult result;
    image::cImage picture;
    if (loaded) {
        picture = *loaded;
    } else if (picture.LoadPicture(Src) != image::kDibOk) {
        result.code = 1;
        return result;
    }
    if (!picture.PicValid()) {
        result.code = 1;
        return result;
    }
    const int32_t W = picture.Width(), H = picture.Height();
    int32_t CW = W, CH = H;

    if (job.ratio_small >= 1 && job.ratio_large >= 1 && job.crop) {
        CropGeometry& g = result.geometry;
        result.geometry_computed = ComputeCropGeometry(W, H, job.ratio_small, job.ratio_large,
                                                       job.crop_enabled, job.mount_enabled, g);
        if (job.mount) {
            CW = g.MountWide;
            CH = g.MountHigh;
            picture = picture.MountPic(g.MountWide, g.MountHigh, g.MountX, g.MountY, W, H,
                                       job.mount_color);
            if (!picture.PicValid()) {
                result.code = 5;
                return result;
            }
        } else {
            int32_t X = 0, Y = 0;
            ComputeCropOrigin(W, H, g.CropWide, g.CropHigh, job.orient, job.manual, X, Y);
            CW = g.CropWide;
            CH = g.CropHigh;
            // A crop inside the picture is done in place: the same bytes, without a second
            // full-size buffer.
            if (!picture.CropInPlace(X, Y, g.CropWide, g.CropHigh))
                picture = picture.CropPic(0, 0, g.CropWide, g.CropHigh, X, Y);
            if (!picture.PicValid()) {
                result.code = 6;
                return result;
            }
        }
    }

    for (int i = 0; i < kCustomOpSlots && op_types_[size_t(i)] != kOpNone; ++i)
        ReplayCustomOp(i, picture, CW, CH);

    if (job.resize && job.resize_size > 0) {
        int32_t width = 0, height = 0;
        ResizeTarget(CW, CH, job.resize_size, width, height);
        picture = picture.Resize(width, height, job.resize_hq);
        if (!picture.PicValid()) {
            result.code = 7;
            return result;
        }
    }

    // The writers replace an existing file only once the new one is complete.
    if (job.file_type == 1) {
        (void)picture.WriteBMP(Dst);
        result.code = 0;
    } else {
        result.code = picture.WriteJPG(Dst, job.jpg_quality);
    }
    return result;
}

std::string cOptions::WriteErrorLog() {
    if (!shell::FolderExists(dest_folder_)) return {};
    const std::string path = dest_folder_ + kErrorLogName;
    shell::KillFile(path);
    image::AtomicFile log(path);
    if (!log.ok()) return {};
    const std::string text = error_text_ + kLineBreak;
    fwrite(text.data(), 1, text.size(), log.file());
    if (!log.Commit()) return {};
    return path;
}

}  // namespace pictorra::options
