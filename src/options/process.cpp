// cOptions::ProcessPics: the job itself, for one file or every picture of a folder.
#include <sys/stat.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "image/atomic_file.h"
#include "image/exif_out.h"
#include "options/c_options.h"
#include "shell/file_ops.h"
#include "shell/shared_values.h"

namespace pictorra::options {
namespace {

constexpr const char* kLineBreak = "\r\n";

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

std::string SystemText(int error) { return std::generic_category().message(error); }

}  // namespace

std::string FileResultText(const FileResult& result) {
    switch (result.step) {
        case FileStep::kDone:
            return {};
        case FileStep::kLoad:
            if (result.error == image::kFileChanged) return "the file changed while it was read";
            if (result.error != 0) return SystemText(result.error);
            return "not a picture that can be read";
        case FileStep::kBitmap:
            return "no memory for the picture";
        case FileStep::kMount:
            return "the mounted picture could not be made";
        case FileStep::kCrop:
            return "the crop leaves no picture";
        case FileStep::kResize:
            return "the resized picture could not be made";
        case FileStep::kWrite:
            break;
    }
    std::string text;
    switch (result.code) {
        case image::kWriteEmptyBuffer:
            return "nothing to write";
        case image::kWriteCannotCreate:
            text = "no file can be made in the output folder";
            break;
        case image::kWriteFailed:
            text = "writing the file failed";
            break;
        case image::kWriteCannotCommit:
            text = "the finished file could not be put in place";
            break;
        default:
            text = "writing the file failed";
            break;
    }
    if (result.error != 0) text += ": " + SystemText(result.error);
    return text;
}

void cOptions::ProcessPics() {
    // Window events run between pictures; a second press must not start a run inside this one.
    if (running_) return;
    // Those events may also drop the windows' reference to this job (a new drop makes a new
    // one); the run keeps its own until it returns.
    const std::shared_ptr<cOptions> keep_alive = weak_from_this().lock();
    running_ = true;
    error_text_.clear();
    failures_.clear();
    output_folder_error_ = 0;
    error_log_error_ = 0;
    windows_.SetNewName("");
    outcome_ = RunOutcome::kNotRun;
    ReadOptions();
    if (drop_type_ == kDropFile)
        ProcessSingleFile();
    else if (drop_type_ == kDropFolder)
        ProcessFolder();
    running_ = false;
}

cOptions::FileJob cOptions::MakeFileJob(int32_t threads) {
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
    job.metadata = metadata_;
    job.threads = threads;
    return job;
}

void cOptions::AddFailure(const std::string& source, const FileResult& result) {
    failures_.push_back({source, result.code, FileResultText(result)});
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

    // A confirmed overwrite deletes nothing: the old output stays until the finished new file
    // replaces it, so a write that fails (a full disk) loses nothing. When the output is the
    // source itself, the source is read before it is replaced.
    if (shell::FileExists(dest_file_) && !windows_.Ask("File exists:" + std::string(kLineBreak) +
                                                       dest_file_ + kLineBreak + "Overwrite?")) {
        outcome_ = RunOutcome::kCancelled;
        return;
    }

    // The preview holds the picture exactly as a new decode would give it; reusing it saves
    // decoding the file twice, as long as the file has not changed since.
    const std::vector<RecordedTool> tools = RecordedTools();
    std::vector<uint8_t> file_bytes;
    const FileResult result =
        ProcessFile(MakeFileJob(image::kAllCores), tools, old_file_path_, dest_file_,
                    PreviewIsCurrent() ? &preview_pic_ : nullptr, preview_exif_, file_bytes);
    TakeFileResult(result);
    outcome_ = RunOutcome::kFinished;
    if (result.code != kFileWritten) {
        AddFailure(old_file_path_, result);
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
    // Each picture's write then fails on its own with its code, as the error log shows; the
    // reason is kept for the command line.
    if (mkdir(dest_folder_.c_str(), 0777) != 0) {
        const int error = errno;
        if (!shell::FolderExists(dest_folder_)) output_folder_error_ = error;
    }
    shell::AddBackslash(dest_folder_);

    // The run works on its own copies: window events between pictures may record or clear tools,
    // or start loading something else, without reaching the pictures being worked on.
    const std::vector<RecordedTool> tools = RecordedTools();
    const std::vector<std::string> sources = source_list_, dests = dest_list_;
    const int total = int(sources.size());
    int done = 0;
    bool stop = false;
    // Results are taken strictly in list order, so labels, error text and log come out the
    // same however many pictures are worked on at once.
    auto take = [&](int i, const FileResult& result) {
        TakeFileResult(result);
        if (result.code != kFileWritten) {
            AddFailure(sources[size_t(i)], result);
            error_text_ +=
                sources[size_t(i)] + " - Error: " + std::to_string(result.code) + kLineBreak;
        } else {
            ++done;
            windows_.SetReport("  " + std::to_string(done) + " files processed");
        }
        windows_.PictureFinished(i + 1, total);
        if (stop) return;
        windows_.ProcessPendingEvents();
        stop = windows_.CloseRequested();
    };

    int taken = 0;
    auto one_after_another = [&] {
        std::vector<uint8_t> file_bytes;
        for (; taken < total && !stop; ++taken) {
            take(taken, ProcessFile(MakeFileJob(image::kAllCores), tools, sources[size_t(taken)],
                                    dests[size_t(taken)], nullptr, {}, file_bytes));
        }
    };
    if (jobs_ <= 1 || total == 1) {
        one_after_another();
    } else {
        if (!RunInParallel(tools, sources, dests, take, stop, taken)) one_after_another();
    }

    outcome_ = taken < total ? RunOutcome::kStopped : RunOutcome::kFinished;
    windows_.SetReport("  " + std::to_string(done) + " files processed");
    windows_.SetNewName("Folder: " + dest_folder_name_);
    if (!error_text_.empty()) {
        const std::string log = WriteErrorLog();
        // No message holds up a program that is closing.
        if (!log.empty() && !stop)
            windows_.Inform("Errors with some files processed. Error log saved as:" +
                            std::string(kLineBreak) + log);
    }
}

namespace {
// How long the window waits at most for its events while pictures are being worked on.
constexpr std::chrono::milliseconds kEventSlice{10};
}  // namespace

bool cOptions::RunInParallel(std::span<const RecordedTool> tools,
                             const std::vector<std::string>& sources,
                             const std::vector<std::string>& dests,
                             const std::function<void(int, const FileResult&)>& take,
                             const bool& stop, int& taken) {
    const int total = int(sources.size());
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<std::pair<int, FileJob>> queue;
    std::vector<std::optional<FileResult>> results(static_cast<size_t>(total));
    bool closing = false;
    int finished = 0;  // pictures whose worker is done with them
    auto worker = [&] {
        std::vector<uint8_t> file_bytes;  // one allocation for every file this worker reads
        for (;;) {
            std::unique_lock lock(mutex);
            changed.wait(lock, [&] { return closing || !queue.empty(); });
            if (queue.empty()) return;
            auto [i, job] = std::move(queue.front());
            queue.pop_front();
            lock.unlock();
            FileResult r = ProcessFile(job, tools, sources[size_t(i)], dests[size_t(i)], nullptr,
                                       {}, file_bytes);
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
    // The workers share the cores; a picture's operations do not start threads of their own.
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    const int32_t threads_each = std::max<int32_t>(1, int32_t(cores) / std::max(1, workers));

    int dispatched = 0;
    for (int next = 0; workers > 0 && next < total; ++next) {
        FileResult r;
        for (;;) {
            // Keep every worker busy: a finished picture frees its worker even while an earlier,
            // slower one still holds up the in-order reporting. Pictures being worked on never
            // outnumber the workers. Once the windows ask to close, nothing new is begun.
            while (!stop && !windows_.CloseRequested() && dispatched < total) {
                {
                    std::lock_guard lock(mutex);
                    if (dispatched - finished >= workers) break;
                }
                FileJob job = MakeFileJob(threads_each);
                std::lock_guard lock(mutex);
                queue.emplace_back(dispatched++, std::move(job));
                changed.notify_all();
            }
            if (next >= dispatched) break;
            std::unique_lock lock(mutex);
            if (results[size_t(next)].has_value()) {
                r = *results[size_t(next)];
                break;
            }
            // The workers do the work; meanwhile the window gets its events every few
            // milliseconds rather than only between pictures, so it keeps painting and answering.
            const int seen = finished;
            while (!changed.wait_for(lock, kEventSlice, [&] { return finished != seen; })) {
                lock.unlock();
                windows_.ProcessPendingEvents();
                lock.lock();
            }
        }
        if (next >= dispatched) break;
        take(next, r);
        taken = next + 1;
    }
    {
        std::lock_guard lock(mutex);
        closing = true;
        changed.notify_all();
    }
    threads.clear();  // joins
    return workers > 0;
}

void cOptions::TakeFileResult(const FileResult& result) {
    if (!result.geometry_computed) return;
    geometry_ = result.geometry;
    ShowGeometry(result.geometry);
}

FileResult cOptions::ProcessFile(const FileJob& job, std::span<const RecordedTool> tools,
                                 const std::string& Src, const std::string& Dst,
                                 const image::cImage* loaded, std::span<const uint8_t> loaded_exif,
                                 std::vector<uint8_t>& file_bytes) {
    FileResult result;
    image::cImage picture;
    image::PictureInfo info;
    std::span<const uint8_t> source_exif = loaded_exif;
    if (loaded) {
        picture = *loaded;
        if (!picture.PicValid()) return Failure(kFileBitmapFailed, FileStep::kBitmap);
    } else {
        int why = 0;
        if (picture.LoadPicture(Src, file_bytes, why, &info, job.threads) != image::kDibOk)
            return Failure(kFileCannotLoad, FileStep::kLoad, why);
        source_exif = info.exif;
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
                result.code = kFileMountFailed;
                result.step = FileStep::kMount;
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
                result.code = kFileCropFailed;
                result.step = FileStep::kCrop;
                return result;
            }
        }
    }

    for (const RecordedTool& tool : tools)
        ReplayOp(tool.code, tool.info, picture, CW, CH, job.threads);

    if (job.resize && job.resize_size > 0) {
        int32_t width = 0, height = 0;
        ResizeTarget(CW, CH, job.resize_size, width, height);
        picture = picture.Resize(width, height, job.resize_hq, job.threads);
        if (!picture.PicValid()) {
            result.code = kFileResizeFailed;
            result.step = FileStep::kResize;
            return result;
        }
    }

    // The writers replace an existing file only once the new one is complete. The source's
    // information goes into JPG outputs only, cleaned for the finished picture's size.
    if (job.file_type == kFileTypeBmp) {
        result.code = picture.WriteBMP(Dst);
    } else {
        const std::vector<uint8_t> exif =
            image::OutputExif(source_exif, job.metadata, picture.Width(), picture.Height());
        result.code = picture.WriteJPG(Dst, job.jpg_quality, exif);
    }
    if (result.code != kFileWritten) {
        result.step = FileStep::kWrite;
        result.error = errno;
    }
    return result;
}

std::string cOptions::WriteErrorLog() {
    if (!shell::FolderExists(dest_folder_)) {
        error_log_error_ = output_folder_error_ != 0 ? output_folder_error_ : ENOENT;
        return {};
    }
    const std::string path = dest_folder_ + kErrorLogName;
    shell::KillFile(path);
    image::AtomicFile log(path);
    const std::string text = error_text_ + kLineBreak;
    if (!log.ok() || fwrite(text.data(), 1, text.size(), log.file()) != text.size() ||
        !log.Commit()) {
        error_log_error_ = errno != 0 ? errno : EIO;
        return {};
    }
    return path;
}

}  // namespace pictorra::options
