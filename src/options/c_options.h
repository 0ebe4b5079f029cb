#pragma once
// cOptions: the one object of the current job. It knows which file or folder was loaded and
// what is to be done to its pictures, computes the crop geometry and the output names, runs the
// job, keeps the preview of a single file with its undo backups, and records the hand tools
// applied to the preview so that the run replays them on every output.
//
// It talks to the windows only through JobWindows and the PictureBox it is given (both must
// outlive it; the windows never close during a run, see JobWindows::CloseRequested). A new
// cOptions is made for every load. Nothing here throws; failures end up as result codes, label
// texts, messages and the collected error text.
//
// A run lets window events happen between pictures, and those may replace the current job with
// a new one: hold a cOptions in a std::shared_ptr, and a run keeps its own object alive until it
// returns.

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "image/c_image.h"
#include "image/metadata_choice.h"
#include "options/custom_op.h"
#include "options/file_result.h"
#include "options/geometry.h"
#include "options/job_windows.h"

namespace pictorra::options {

// What was loaded.
inline constexpr int32_t kDropNone = 0;
inline constexpr int32_t kDropFile = 1;
inline constexpr int32_t kDropFolder = 2;

inline constexpr const char* kErrorLogName = "Pictorra Error Log.txt";

// The output file types (the main window's "JPG" and "BMP").
inline constexpr int32_t kFileTypeJpg = 0;
inline constexpr int32_t kFileTypeBmp = 1;

// How the last ProcessPics ended, for the command-line front end.
enum class RunOutcome {
    kNotRun,      // nothing loaded
    kCancelled,   // a question was answered with Cancel
    kNoFiles,     // the folder holds no files
    kNoPictures,  // the folder holds no picture files
    kFinished,    // every picture was tried; see Failures()
    kStopped,     // the windows asked to close; the pictures not begun were left alone
};

// One picture that could not be written, in the order of the run.
struct PictureFailure {
    std::string source;
    int32_t code = 0;
    std::string cause;  // FileResultText
};

class cOptions : public std::enable_shared_from_this<cOptions> {
public:
    cOptions(JobWindows& windows, PictureBox& box);
    cOptions(const cOptions&) = delete;
    cOptions& operator=(const cOptions&) = delete;

    // ---- undo and the recorded tools ---------------------------------------------------
    void RemoveLastAction();
    void ClearCustomOps();
    int32_t CustomOps() const { return last_op_ + 1; }
    int32_t Backups() const { return backups_; }

    // ---- errors --------------------------------------------------------------------------
    const std::string& ErrorText() const { return error_text_; }
    void ClearError() { error_text_.clear(); }

    // ---- loading and the preview ---------------------------------------------------------
    void LoadSettings() { ReadOptions(); }
    int32_t LoadPic();
    // Why the last LoadPic failed, in a few words (the windows show only the code).
    const std::string& LoadFailure() const { return load_failure_; }
    void ShowPic();
    void UpdatePic();
    void HidePic();
    void UnHidePic();
    int32_t PicWide() const { return pic_wide_; }
    int32_t PicHigh() const { return pic_high_; }
    bool PreviewShown() const { return preview_shown_; }
    const image::cImage& PreviewPic() const { return preview_pic_; }

    int32_t DropType() const { return drop_type_; }
    void SetDropType(int32_t LType) { drop_type_ = LType; }
    void SetOldFilePath(const std::string& sPath) { old_file_path_ = sPath; }
    void SetOldFolderPath(const std::string& sPath) { old_folder_path_ = sPath; }

    bool CropEnabled() const { return crop_enabled_; }
    void SetCropEnabled(bool Boo);
    bool ResizeEnabled() const { return resize_enabled_; }
    void SetResizeEnabled(bool Boo) { resize_enabled_ = Boo; }
    bool MountEnabled() const { return mount_enabled_; }
    void SetMountEnabled(bool Boo);

    // ---- the run -------------------------------------------------------------------------
    void ProcessPics();
    // How many pictures of a folder are worked on at once (1 = one after the other). Outputs,
    // messages and the error log are the same for every value.
    void SetJobs(int jobs) { jobs_ = jobs < 1 ? 1 : jobs; }
    RunOutcome LastOutcome() const { return outcome_; }
    const std::vector<PictureFailure>& Failures() const { return failures_; }
    // errno of the output folder's creation in the last folder run, 0 when it was made.
    int OutputFolderError() const { return output_folder_error_; }
    // errno of a failed error log (0 when it was written or none was needed).
    int ErrorLogError() const { return error_log_error_; }

    void UpdateRatio();
    void UpdateOrientation();

    // ---- hand tools on the preview ---------------------------------------------------------
    void DoAction(int32_t iAction);
    void DoBorder(uint32_t LColor, int32_t LThickness);
    void DoBevel(int32_t LThickness, int32_t Factor1, int32_t Step1);
    void DoText(const std::string& sText, uint32_t LColor, int32_t FontW, int32_t FontH,
                bool IfBold, int32_t X1, int32_t Y1, const std::string& sFont);
    // Records a tool without a preview (the command line's tools). False when the list is full.
    bool AddCustomOp(int32_t code, const CustomOpInfo& info);
    int32_t OpType(int index) const { return op_types_[size_t(index)]; }
    const CustomOpInfo& OpRecord(int index) const { return op_records_[size_t(index)]; }

    // ---- what the options worked out (for the windows and tests) ----------------------------
    int32_t RatioSmall() const { return ratio_small_; }
    int32_t RatioLarge() const { return ratio_large_; }
    const std::string& RatioCode() const { return ratio_code_; }
    int32_t OrientIndex() const { return orient_index_; }
    const std::string& OrientCode() const { return orient_code_; }
    bool NameOrient() const { return name_orient_; }
    int32_t JPGQuality() const { return jpg_quality_; }
    bool ResizeHQ() const { return resize_hq_; }
    const std::string& ResizeCode() const { return resize_code_; }
    int32_t ResizeSize() const { return resize_size_; }
    int32_t FileType() const { return file_type_; }
    image::MetadataChoice Metadata() const { return metadata_; }
    const std::string& FileExt() const { return file_ext_; }
    const CropGeometry& Geometry() const { return geometry_; }
    const std::string& DestFile() const { return dest_file_; }
    const std::string& DestFileName() const { return dest_file_name_; }
    const std::string& DestFolder() const { return dest_folder_; }
    const std::string& DestFolderName() const { return dest_folder_name_; }
    const std::vector<std::string>& SourceList() const { return source_list_; }
    const std::vector<std::string>& DestList() const { return dest_list_; }

    // The name with the codes of the chosen options appended ("beach" -> "beach46e-R640").
    std::string DecorateName(const std::string& Name) const;

private:
    // Everything one picture of a run needs, fixed when it starts, so that pictures can be
    // worked on in parallel.
    struct FileJob {
        bool crop = false;  // CkCrop, CkMount, CkResize as they stand for this picture
        bool mount = false;
        bool resize = false;
        bool crop_enabled = false;  // the cached flags the geometry follows
        bool mount_enabled = false;
        int32_t ratio_small = 0, ratio_large = 0, orient = 0;
        ManualCrop manual;
        uint32_t mount_color = 0xFFFFFF;
        int32_t resize_size = 0;
        bool resize_hq = false;
        int32_t file_type = 0;
        int32_t jpg_quality = 100;
        image::MetadataChoice metadata = image::kDefaultMetadataChoice;  // JPG outputs only
        int32_t threads = image::kAllCores;  // for each operation on the picture
    };
    struct RecordedTool {
        int32_t code = kOpNone;
        CustomOpInfo info;
    };

    void ReadOptions();
    void ReadRatio();
    void ReadOrientation();
    void ReadResize();
    std::string ReadUserName();

    void CalcCropSize(int32_t W, int32_t H);
    void ShowGeometry(const CropGeometry& g);
    void PlaceCropBox();

    void ProcessSingleFile();
    void ProcessFolder();
    FileJob MakeFileJob(int32_t threads);
    // The hand tools as recorded when the run starts; the run replays these, whatever the
    // windows record or clear meanwhile.
    std::vector<RecordedTool> RecordedTools() const;
    // One picture, from Src to Dst. Static: workers run it and must not touch the job's state.
    // `loaded`, when given, is Src already decoded (the preview of a single file) and
    // `loaded_exif` its EXIF block; otherwise the file is read through `file_bytes`, which a
    // worker reuses from picture to picture.
    static FileResult ProcessFile(const FileJob& job, std::span<const RecordedTool> tools,
                                  const std::string& Src, const std::string& Dst,
                                  const image::cImage* loaded, std::span<const uint8_t> loaded_exif,
                                  std::vector<uint8_t>& file_bytes);
    void AddFailure(const std::string& source, const FileResult& result);
    // The pictures of a folder run on worker threads, taken in list order; `take` lets window
    // events run and sets `stop` when the windows ask to close. False when no worker thread
    // could be started (nothing was done then).
    bool RunInParallel(std::span<const RecordedTool> tools, const std::vector<std::string>& sources,
                       const std::vector<std::string>& dests,
                       const std::function<void(int, const FileResult&)>& take, const bool& stop,
                       int& taken);
    // True while the file on disk is still the one the preview was loaded from.
    bool PreviewIsCurrent() const;
    void TakeFileResult(const FileResult& result);
    std::string WriteErrorLog();

    void DrawPreview();
    bool ToolFrame(image::cImage& backup, image::cImage& work);
    void FinishTool(image::cImage& work);
    // Border (code 4) or bevel (code 5) on the preview, recorded for the run.
    void DoBand(int32_t code, const CustomOpInfo& info);
    void RecordAction(int32_t code, image::cImage backup, const CustomOpInfo& info);

    JobWindows& windows_;
    PictureBox& box_;
    int jobs_ = 1;

    image::cImage preview_pic_;
    // The previewed file's EXIF block: a run that reuses the preview still writes it out.
    std::vector<uint8_t> preview_exif_;
    struct FileStamp {
        uint64_t device = 0, inode = 0, size = 0;
        int64_t modified_ns = 0;
        bool operator==(const FileStamp&) const = default;
    };
    FileStamp preview_stamp_;
    std::string load_failure_;  // of old_file_path_ when the preview was loaded
    int32_t pic_wide_ = 0, pic_high_ = 0;
    CropGeometry geometry_;
    std::string old_file_path_, dest_file_, old_folder_path_, dest_folder_;
    std::string folder_base_ = "Images";
    std::string dest_folder_name_, dest_file_name_, source_base_;
    int32_t drop_type_ = kDropNone;
    int32_t ratio_small_ = 0, ratio_large_ = 0;
    std::string ratio_code_;
    int32_t orient_index_ = 0;
    std::string orient_code_;
    bool name_orient_ = false;
    int32_t jpg_quality_ = 0;
    bool resize_hq_ = false;
    std::string resize_code_;
    int32_t resize_size_ = 0;
    int32_t file_type_ = 0;
    std::string file_ext_;
    image::MetadataChoice metadata_ = image::kDefaultMetadataChoice;
    bool crop_enabled_ = false, mount_enabled_ = false, resize_enabled_ = false;
    bool preview_shown_ = false;
    std::string error_text_;
    int32_t backups_ = 0;
    std::array<image::cImage, kMaxBackups> backup_;  // newest first; empty = none
    std::array<int32_t, kCustomOpSlots> op_types_;
    std::array<CustomOpInfo, kCustomOpSlots> op_records_;
    int32_t last_op_ = -1;
    std::vector<std::string> source_list_, dest_list_;

    bool running_ = false;
    RunOutcome outcome_ = RunOutcome::kNotRun;
    std::vector<PictureFailure> failures_;
    int output_folder_error_ = 0;
    int error_log_error_ = 0;
};

}  // namespace pictorra::options
