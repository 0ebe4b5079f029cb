#pragma once
// F1, the main window: the title strip, the image bar, the drop chute, every option of the job,
// the process button and its result labels, and the status strip. Controls carry their design
// names as object names ("CkCrop", "OpSize(4)", "LabInfo(2)") so that tests find them.
//
// The window only shows and forwards: its buttons raise the signals below and the program
// decides; the sizes shown come from the settings through SizeSettingsView.

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <array>

#include "shell/size_settings.h"
#include "ui/caption_check.h"
#include "ui/form_window.h"
#include "ui/info_label.h"

namespace pictorra::ui {

class ImageBarButton;

class MainWindow : public FormWindow, public shell::SizeSettingsView {
    Q_OBJECT

public:
    explicit MainWindow(controls::CSubclass* hook);

    // ---- what the settings show here ------------------------------------------------------
    void SetPresetLabel(int index, const std::string& text) override;
    void SetPresetTip(int index, const std::string& text) override;
    void SetCustomRatioCaption(const std::string& text) override;
    void EnableCustomRatioIfRatiosEnabled() override;

    // ---- state the shared helpers set -----------------------------------------------------
    void SetSwatchColor(uint32_t color);     // LabSelColor's back colour
    bool MountTicked() const;                // CkMount
    void SetManualLabelVisible(bool shown);  // LabManual
    void SetMoverVisible(bool shown);        // FrMover

signals:
    void EndRequested();       // bWindowG(1)
    void SettingsRequested();  // ImBar(2)
    void HelpRequested(const QString& topic);
    void FileRequested();    // ImBar(0)
    void FolderRequested();  // ImBar(1)

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    // The window system's close (Alt+F4, the task bar) ends the program as the close button does.
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void BuildTitleAndBar(controls::CSubclass* hook);
    void BuildLeftColumn(controls::CSubclass* hook);
    void BuildCropPanel();
    void BuildResizePanel();
    void BuildStatusStrip();
    void ResetInfoLabels();
    void HoverBarTo(int index);

    std::array<ImageBarButton*, 4> bar_{};
    int hover_bar_ = 0;
    std::array<InfoLabel*, 5> info_{};
    std::array<QRadioButton*, 5> op_size_{};
    std::array<QRadioButton*, 3> op_resize_{};
    std::array<QLabel*, 3> lab_sizes_{};
    QFrame* fr_ratio_ = nullptr;
    QFrame* fr_mover_ = nullptr;
    CaptionCheck* ck_mount_ = nullptr;
    QLabel* lab_sel_color_ = nullptr;
    QLabel* lab_manual_ = nullptr;
};

// One of the image bar's four buttons: flat at rest, a single-line border under the pointer, a
// sunken look while pressed.
class ImageBarButton : public QLabel {
    Q_OBJECT

public:
    enum class Look { kFlat, kBorder, kPressed };

    ImageBarButton(QWidget* parent, int index, const QImage& picture, const QString& tip);
    void SetLook(Look look);
    Look CurrentLook() const { return look_; }

signals:
    void Hovered(int index);
    void Clicked(int index);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    int index_;
    Look look_ = Look::kFlat;
};

}  // namespace pictorra::ui
