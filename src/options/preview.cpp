// cOptions: the preview of a single file in the image view, its backups and undo.
#include <sys/stat.h>

#include <utility>

#include "options/c_options.h"
#include "shell/shared_values.h"

namespace pictorra::options {
namespace {

// The preview never shows more than this many pixels either way, and never enlarges.
constexpr int32_t kPreviewMax = 400;
// The image view's height is the picture box's plus its bar and tool strip.
constexpr int32_t kViewChrome = 113;

}  // namespace

int32_t cOptions::LoadPic() {
    if (old_file_path_.empty()) return 0;
    struct stat before {};
    const bool stamped = stat(old_file_path_.c_str(), &before) == 0;
    std::vector<uint8_t> file_bytes;
    int why = 0;
    load_failure_.clear();
    image::PictureInfo info;
    const int32_t loaded = preview_pic_.LoadPicture(old_file_path_, file_bytes, why, &info);
    preview_exif_ = std::move(info.exif);
    if (loaded != image::kDibOk) {
        load_failure_ = FileResultText(Failure(kFileCannotLoad, FileStep::kLoad, why));
        return kFileCannotLoad;
    }
    preview_stamp_ = {};
    if (stamped) {
        preview_stamp_ = {uint64_t(before.st_dev), uint64_t(before.st_ino),
                          uint64_t(before.st_size),
                          int64_t(before.st_mtim.tv_sec) * 1000000000 + before.st_mtim.tv_nsec};
    }
    pic_wide_ = preview_pic_.Width();
    pic_high_ = preview_pic_.Height();
    windows_.SetSizeDisplay(std::to_string(pic_wide_), std::to_string(pic_high_));
    return 0;
}

bool cOptions::PreviewIsCurrent() const {
    struct stat now {};
    if (!preview_pic_.PicValid() || preview_stamp_.size == 0 ||
        stat(old_file_path_.c_str(), &now) != 0)
        return false;
    const FileStamp stamp{uint64_t(now.st_dev), uint64_t(now.st_ino), uint64_t(now.st_size),
                          int64_t(now.st_mtim.tv_sec) * 1000000000 + now.st_mtim.tv_nsec};
    return stamp == preview_stamp_;
}

void cOptions::ShowPic() {
    if (old_file_path_.empty()) return;
    CalcCropSize(pic_wide_, pic_high_);
    DrawPreview();
    preview_shown_ = true;
}

void cOptions::UpdatePic() {
    if (!preview_shown_ || pic_wide_ == 0 || pic_high_ == 0) return;
    CalcCropSize(pic_wide_, pic_high_);
    DrawPreview();
}

void cOptions::HidePic() {
    preview_shown_ = false;
    windows_.SetMoverVisible(false);
}

void cOptions::UnHidePic() {
    preview_shown_ = true;
    windows_.SetMoverVisible(true);
}

void cOptions::DrawPreview() {
    const bool was_visible = windows_.ViewVisible();
    box_.Clear();
    if (!was_visible) {
        // Hiding the view takes its crop box away too; the box comes back below when a crop
        // is shown.
        box_.crop.Visible = false;
        windows_.HideImageView();
    }
    if (pic_wide_ == 0 || pic_high_ == 0) return;

    int32_t DW = pic_wide_, DH = pic_high_;
    if (pic_wide_ > kPreviewMax || pic_high_ > kPreviewMax) {
        if (pic_wide_ < pic_high_) {
            DH = kPreviewMax;
            DW = Nearest(double(pic_wide_) / pic_high_ * kPreviewMax);
        } else {
            DW = kPreviewMax;
            DH = Nearest(double(pic_high_) / pic_wide_ * kPreviewMax);
        }
    }

    int32_t CW = DW, CH = DH;
    if (mount_enabled_ && geometry_.MountWide >= 1 && geometry_.MountHigh >= 1) {
        CW = Nearest(DW * (double(geometry_.MountWide) / pic_wide_));
        CH = Nearest(DH * (double(geometry_.MountHigh) / pic_high_));
        if (CW > kPreviewMax || CH > kPreviewMax) {
            double f = 1.0;
            if (CW > CH) {
                f = double(kPreviewMax) / CW;
                CW = kPreviewMax;
                CH = Nearest(CH * f);
            } else if (CW < CH) {
                f = double(kPreviewMax) / CH;
                CH = kPreviewMax;
                CW = Nearest(CW * f);
            } else {
                f = double(kPreviewMax) / CH;
                CW = CH = kPreviewMax;
            }
            DW = Nearest(DW * f);
            DH = Nearest(DH * f);
        }
    }

    ViewPlacement where;
    if (was_visible) {
        where.keep_position = true;
    } else if (shell::gViewLeft != 0 && shell::gViewTop != 0) {
        // The place was remembered in twips.
        where.left = Nearest(shell::gViewLeft / double(shell::gTwipsX));
        where.top = Nearest(shell::gViewTop / double(shell::gTwipsY));
    } else {
        int32_t left = 0, top = 0, width = 0, height = 0;
        windows_.MainWindowRect(left, top, width, height);
        where.left = left;
        where.top = top + Nearest(0.6 * height);
    }
    windows_.PlaceView(CH + kViewChrome, where);

    int32_t OX = 0, OY = 0;
    if (mount_enabled_) {
        box_.BackColor = shell::gMountColor;
        box_.crop.Visible = false;
        OX = CW > DW ? Nearest((CW - DW) / 2.0) : 0;
        OY = CH > DH ? Nearest((CH - DH) / 2.0) : 0;
    } else {
        CW = DW;
        CH = DH;
    }
    box_.SetSize(CW, CH);
    preview_pic_.CopyPic(box_.surface, DW, DH, OX, OY, pic_wide_, pic_high_);
    if (!mount_enabled_) PlaceCropBox();
    windows_.ShowView();
    windows_.SetMoverVisible(true);
    windows_.RefreshPicture();
}

void cOptions::RemoveLastAction() {
    if (backups_ == 0) return;
    const int32_t w = Nearest(box_.ScaleWidth), h = Nearest(box_.ScaleHeight);
    backup_[0].CopyPic(box_.surface, w, h, 0, 0, w, h);
    windows_.RefreshPicture();
    backup_[0] = std::move(backup_[1]);
    backup_[1] = std::move(backup_[2]);
    backup_[2] = image::cImage();
    --backups_;
    if (last_op_ >= 0) {
        op_types_[size_t(last_op_)] = kOpNone;
        --last_op_;
    }
}

void cOptions::ClearCustomOps() {
    op_types_.fill(kOpNone);
    op_records_.fill(CustomOpInfo{});
    last_op_ = -1;
    backups_ = 0;
    for (auto& b : backup_) b = image::cImage();
}

}  // namespace pictorra::options
