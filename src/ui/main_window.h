#pragma once
// F1, the main window: the title strip, the image bar, the drop chute, every option of the job,
// the process button with its result labels, the window arrangement panel and the status strip.
// Controls carry their design names as object names ("CkCrop", "OpSize(4)", "LabInfo(2)") so
// that tests find them.
//
// The window holds the current job (a new one for every load) and keeps its controls consistent
// with each other; the job reads the options itself, through the program's JobBridge.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <array>
#include <memory>

#include "options/c_options.h"
#include "shell/size_settings.h"
#include "ui/caption_check.h"
#include "ui/form_window.h"
#include "ui/image_bar.h"
#include "ui/info_label.h"

namespace pictorra::ui {

class Program;

// The chute: takes drops of files and folders from file managers.
class DropTarget : public QLabel {
    Q_OBJECT

public:
    explicit DropTarget(QWidget* parent);

signals:
    // The first local path of the drop, or "" when the drop carries no file.
    void Dropped(const QString& path);

protected:
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
};

class MainWindow : public FormWindow, public shell::SizeSettingsView {
    Q_OBJECT

public:
    MainWindow(controls::CSubclass* hook, Program& program);

    // ---- what the settings show here ------------------------------------------------------
    void SetPresetLabel(int index, const std::string& text) override;
    void SetPresetTip(int index, const std::string& text) override;
    void SetCustomRatioCaption(const std::string& text) override;
    void EnableCustomRatioIfRatiosEnabled() override;

    // ---- what the job reads and writes ----------------------------------------------------
    options::OptionControls ReadControls() const;
    void SelectSquareRatio();
    void SetSizeDisplay(const std::string& wide, const std::string& high);
    void SetReport(const std::string& text);
    void SetNewName(const std::string& text);

    // ---- state the shared helpers set -----------------------------------------------------
    void SetSwatchColor(uint32_t color);     // LabSelColor's back colour
    bool MountTicked() const;                // CkMount
    void SetManualLabelVisible(bool shown);  // LabManual
    void SetMoverVisible(bool shown);        // FrMover

    // The current job; null when nothing is loaded (or a load failed).
    const std::shared_ptr<options::cOptions>& Job() const { return job_; }
    void ReleaseJob() { job_.reset(); }
    // A run or an arrangement is under way.
    bool Busy() const { return busy_; }

    // A path dropped on the chute, picked, or handed over: checked, then loaded.
    void TakePath(const QString& path);
    // The arrangement buttons' click (0 side by side, 1 one above the other, 2 cascade).
    void Arrange(int arrangement);
    // The process button's click.
    void Process();

signals:
    void EndRequested();  // bWindowG(1) or the window system's close
    void SettingsRequested();
    void HelpRequested(const QString& topic);
    void FileRequested();
    void FolderRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void BuildTitleAndBar(controls::CSubclass* hook);
    void BuildLeftColumn(controls::CSubclass* hook);
    void BuildCropPanel();
    void BuildResizePanel();
    void BuildStatusStrip();
    void ResetInfoLabels();
    void HoverBarTo(int index);

    int CheckPath(const std::string& path);
    void LoadPath(const std::string& path, int kind);
    void SetCropControls(bool enable);
    void SetResizeControls(bool enable);
    void CropClicked();
    void MountClicked();
    void ResizeClicked();
    void SizeClicked();
    void DirClicked(int index);
    void TypeClicked();
    void SwatchClicked();
    // Drops recorded tools that no longer fit the crop, and shows the preview afresh.
    void ClearToolsIfAny();

    Program& program_;
    std::shared_ptr<options::cOptions> job_;
    bool busy_ = false;

    std::array<ImageBarButton*, 4> bar_{};
    int hover_bar_ = 0;
    std::array<InfoLabel*, 5> info_{};
    QCheckBox* ck_crop_ = nullptr;
    QCheckBox* ck_resize_ = nullptr;
    CaptionCheck* ck_mount_ = nullptr;
    CaptionCheck* ck_orient_ = nullptr;
    std::array<QRadioButton*, 5> op_size_{};
    std::array<QRadioButton*, 5> op_dir_{};
    std::array<QRadioButton*, 3> op_resize_{};
    std::array<QRadioButton*, 2> op_quality_{};
    std::array<QRadioButton*, 2> op_type_{};
    std::array<QLabel*, 3> lab_sizes_{};
    std::array<controls::GlowBut*, 3> move_{};
    QComboBox* q_list_ = nullptr;
    QLabel* lab_jpg_ = nullptr;
    QGroupBox* fr_name_ = nullptr;
    QLineEdit* t_name_ = nullptr;
    QLineEdit* t_wide_ = nullptr;
    QLineEdit* t_high_ = nullptr;
    QLabel* label_x_ = nullptr;
    QFrame* fr_ratio_ = nullptr;
    QFrame* fr_orient_ = nullptr;
    QFrame* fr_re1_ = nullptr;
    QFrame* fr_re2_ = nullptr;
    QFrame* fr_mover_ = nullptr;
    QFrame* rect_orient_ = nullptr;
    QLabel* lab_sel_color_ = nullptr;
    QLabel* lab_colortag_ = nullptr;
    QLabel* lab_manual_ = nullptr;
    QLabel* im_wait_ = nullptr;
    controls::GlowBut* b_proc_ = nullptr;
    QLabel* lab_report_ = nullptr;
    QLabel* lab_new_name_ = nullptr;
    QLineEdit* t_stat_ = nullptr;
    QLabel* lab_type_ = nullptr;
};

}  // namespace pictorra::ui
