#pragma once
// FTools, the dialog of the three tools that need settings: a coloured border, a frame or bevel,
// and a line of text. The image view opens it with one panel in front; apply checks the entries
// and hands the tool to the job, or, for text, arms the click in the picture that places it. A
// sample shows the chosen face, size, weight and colour at the size the preview will draw it.
//
// The decisions are options::ToolDialogModel's; this window shows the entries and forwards.

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <array>

#include "options/tool_dialog_model.h"
#include "ui/form_window.h"
#include "ui/info_label.h"

namespace pictorra::ui {

class Program;

class ToolDialog : public FormWindow {
    Q_OBJECT

public:
    ToolDialog(controls::CSubclass* hook, Program& program);

    // The image view's tools 4, 5 and 6.
    void ShowTool(int32_t mode);
    // The click in the picture while a text is armed, in picture-box pixels from the crop box's
    // corner (or the picture's, while mounting).
    void PlaceText(int32_t x, int32_t y);

    const options::ToolDialogModel& Model() const { return model_; }
    bool Busy() const { return busy_; }
    // Draws the font sample afresh.
    void UpdateSample();

protected:
    // Enter applies, Escape cancels, as the two buttons do.
    void keyPressEvent(QKeyEvent* event) override;

private:
    void Apply();
    void Cancel();
    void PickSwatch(QLabel* swatch, bool text);
    options::ToolEntries Entries() const;
    void Place();

    Program& program_;
    options::ToolDialogModel model_;
    bool busy_ = false;
    QGroupBox* border_ = nullptr;
    QGroupBox* bevel_ = nullptr;
    QGroupBox* text_ = nullptr;
    QLineEdit* t_border_ = nullptr;
    QLabel* lab_col_ = nullptr;
    QComboBox* box_bev_ = nullptr;
    QLineEdit* t_bev_ = nullptr;
    QLineEdit* t_cap_ = nullptr;
    QComboBox* box_font_ = nullptr;
    std::array<QLineEdit*, 2> t_size_{};
    QCheckBox* ck_bold_ = nullptr;
    QLabel* lab_col_t_ = nullptr;
    QLabel* pic_t_ = nullptr;
    QFrame* fr_click_ = nullptr;
    uint32_t border_color_ = 0;
    uint32_t text_color_ = 0;
};

}  // namespace pictorra::ui
