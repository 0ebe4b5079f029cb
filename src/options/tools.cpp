// cOptions: the hand tools on the preview, their record, and their replay on outputs.
#include "options/c_options.h"

namespace pictorra::options {

void ReplayOp(int32_t code, const CustomOpInfo& info, image::cImage& picture, int32_t W, int32_t H,
              int32_t threads) {
    switch (code) {
        case kOpLighten:
            picture.LightenPic(kLightenPercent, threads);
            break;
        case kOpDarken:
            picture.DarkenPic(kDarkenPart255);
            break;
        case kOpSharpen:
            picture.SharpenPic(true, threads);
            break;
        case kOpSoften:
            picture.SharpenPic(false, threads);
            break;
        case kOpBorder:
            if (info.LThick != 0) picture.BorderPic(W, H, 0, 0, info.LThick, info.LCol);
            break;
        case kOpBevel:
            if (info.LThick != 0)
                picture.BevelPic(W, H, 0, 0, info.LThick, info.iFactor, info.LStep);
            break;
        case kOpText:
            if (!info.sText.empty() && !info.sFontName.empty())
                picture.DrawText(info.sText, info.sFontName, info.IfBold, info.XPt, info.YPt,
                                 info.FontH, info.FontW, info.LCol);
            break;
        default:
            break;
    }
}

std::vector<cOptions::RecordedTool> cOptions::RecordedTools() const {
    std::vector<RecordedTool> tools;
    for (int i = 0; i < kCustomOpSlots && op_types_[size_t(i)] != kOpNone; ++i)
        tools.push_back({op_types_[size_t(i)], op_records_[size_t(i)]});
    return tools;
}

bool cOptions::ToolFrame(image::cImage& backup, image::cImage& work) {
    // The box has no border, so its inner and outer sizes are the same.
    if (!preview_shown_ || pic_wide_ == 0 || pic_high_ == 0) return false;
    const int32_t w = Nearest(box_.ScaleWidth), h = Nearest(box_.ScaleHeight);
    if (backup.CopyPictureBox(box_.surface, w, h) != image::kDibOk ||
        work.CopyPictureBox(box_.surface, w, h) != image::kDibOk) {
        return false;
    }
    return true;
}

void cOptions::FinishTool(image::cImage& work) {
    const int32_t w = Nearest(box_.ScaleWidth), h = Nearest(box_.ScaleHeight);
    work.CopyPic(box_.surface, w, h, 0, 0, w, h);
    windows_.RefreshPicture();
    windows_.SetUndoEnabled(true);
}

void cOptions::RecordAction(int32_t code, image::cImage backup, const CustomOpInfo& info) {
    if (backups_ < kMaxBackups) ++backups_;
    backup_[2] = std::move(backup_[1]);
    backup_[1] = std::move(backup_[0]);
    backup_[0] = std::move(backup);
    if (last_op_ == kCustomOpSlots - 1) return;
    ++last_op_;
    op_types_[size_t(last_op_)] = code;
    op_records_[size_t(last_op_)] = info;
}

bool cOptions::AddCustomOp(int32_t code, const CustomOpInfo& info) {
    if (last_op_ == kCustomOpSlots - 1) return false;
    ++last_op_;
    op_types_[size_t(last_op_)] = code;
    op_records_[size_t(last_op_)] = info;
    return true;
}

void cOptions::DoAction(int32_t iAction) {
    image::cImage backup, work;
    if (!ToolFrame(backup, work)) return;
    RecordAction(iAction, std::move(backup), CustomOpInfo{});
    ReplayOp(iAction, CustomOpInfo{}, work, work.Width(), work.Height());
    FinishTool(work);
}

void cOptions::DoBorder(uint32_t LColor, int32_t LThickness) {
    CustomOpInfo info;
    info.LCol = LColor;
    info.LThick = LThickness;
    DoBand(kOpBorder, info);
}

void cOptions::DoBevel(int32_t LThickness, int32_t Factor1, int32_t Step1) {
    CustomOpInfo info;
    info.LThick = LThickness;
    info.iFactor = Factor1;
    info.LStep = Step1;
    DoBand(kOpBevel, info);
}

void cOptions::DoBand(int32_t code, const CustomOpInfo& info) {
    image::cImage backup, work;
    if (!ToolFrame(backup, work)) return;
    RecordAction(code, std::move(backup), info);
    // The thickness is given in pixels of the full picture; the preview shows it scaled. The
    // band goes around the crop box when one is shown, else around the whole preview; its rows
    // are memory rows, counted from the bottom.
    const double IW = box_.ScaleWidth, IH = box_.ScaleHeight;
    const int32_t t = Nearest(info.LThick * (IW / pic_wide_));
    const CropBox& c = box_.crop;
    int32_t wide = Nearest(IW), high = Nearest(IH), x = 0, y = 0;
    if (c.Visible) {
        wide = Nearest(c.Width - 2);
        high = Nearest(IH - c.Top);
        x = Nearest(c.Left);
        y = Nearest(IH - (c.Top + c.Height));
    }
    if (code == kOpBorder)
        work.BorderPic(wide, high, x, y, t, info.LCol);
    else
        work.BevelPic(wide, high, x, y, t, info.iFactor, info.LStep);
    FinishTool(work);
}

void cOptions::DoText(const std::string& sText, uint32_t LColor, int32_t FontW, int32_t FontH,
                      bool IfBold, int32_t X1, int32_t Y1, const std::string& sFont) {
    image::cImage backup, work;
    if (!ToolFrame(backup, work)) return;
    const double IW = box_.ScaleWidth, IH = box_.ScaleHeight;
    const double RW = pic_wide_, RH = pic_high_;
    CustomOpInfo info;
    info.XPt = Nearest(X1 * (RW / IW));
    info.YPt = Nearest(Y1 * (RH / IH));
    info.FontW = FontW;
    info.FontH = FontH;
    info.LCol = LColor;
    info.sText = sText;
    info.sFontName = sFont;
    info.IfBold = IfBold;
    RecordAction(kOpText, std::move(backup), info);
    work.DrawText(sText, sFont, IfBold, X1, Y1, Nearest(FontH * (IH / RH)),
                  Nearest(FontW * (IW / RW)), LColor);
    FinishTool(work);
}

}  // namespace pictorra::options
