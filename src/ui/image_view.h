#pragma once
// FShow, the image view: the picture of a single-file job with the crop box over it, the tool
// bar under it, and its own title strip. It is made hidden at start-up; its close button only
// hides it, and the next redraw of the preview shows it again.
//
// The window paints the preview surface the job draws (a PictureBox that outlives every job)
// and turns mouse events into the crop box's moves, a picked mount colour and the point of a
// text, by the rules in options/view_rules.h.

#include <QLabel>
#include <QPointer>
#include <array>
#include <functional>

#include "options/job_windows.h"
#include "options/view_rules.h"
#include "ui/form_window.h"
#include "ui/info_label.h"

namespace pictorra::ui {

class ImageBarButton;

// Pic1: shows the surface and the crop box outline; reports the mouse in its own pixels.
class PictureBoxWidget : public QWidget {
    Q_OBJECT

public:
    PictureBoxWidget(QWidget* parent, const options::PictureBox& box);

signals:
    void Pressed(Qt::MouseButton button, QPointF at);
    void Moved(Qt::MouseButtons buttons, QPointF at);
    void Released(Qt::MouseButton button, QPointF at);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    const options::PictureBox& box_;
};

// What the image view asks of the rest of the program.
struct ImageViewActions {
    std::function<void(int32_t mode)> set_manual_crop;
    std::function<void(int64_t color)> set_mount_color;
    std::function<void()> help;
    std::function<void(int index)> tool;  // ImTool(index) clicked
    std::function<void()> undo;           // bUndoG clicked
    std::function<void(int32_t x, int32_t y)> place_text;
};

class ImageView : public FormWindow {
    Q_OBJECT

public:
    static constexpr int kStripHeight = 28;  // Pic1's top

    ImageView(controls::CSubclass* hook, options::PictureBox& box, ImageViewActions actions);

    void SetUndoEnabled(bool enabled);
    // The picture box took a new size or content: place Pic1 and the tool panel, repaint.
    void SyncToBox();
    // Clears what Pic1 shows and hides the crop box.
    void ClearPicture();

    // The next left click in the picture places the armed text.
    bool TextClickPending() const { return text_click_pending_; }
    void SetTextClickPending(bool pending) { text_click_pending_ = pending; }
    bool ToolBusy() const { return tool_busy_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void PicPressed(Qt::MouseButton button, QPointF at);
    void PicMoved(Qt::MouseButtons buttons, QPointF at);
    void PicReleased(Qt::MouseButton button, QPointF at);
    void HoverToolTo(int index);
    void ToolClicked(int index);
    void UndoClicked();

    options::PictureBox& box_;
    ImageViewActions actions_;
    PictureBoxWidget* pic_ = nullptr;
    QWidget* tools_ = nullptr;
    controls::GlowBut* undo_ = nullptr;
    InfoLabel* info_ = nullptr;
    std::array<ImageBarButton*, 7> tool_{};
    int hover_tool_ = 0;
    bool tool_busy_ = false;
    bool dragging_ = false;
    options::CropEdge grab_edge_ = options::CropEdge::kNone;
    bool text_click_pending_ = false;
};

// The title strip every secondary window has: banner, label bar (which drags `window`) and the
// glow buttons at the given places (no minimize button when minimize_at.x() < 0).
QLabel* MakeTitleStrip(FormWindow* window, controls::CSubclass* hook, int width,
                       const QString& title, int bar_width, QPoint minimize_at, QPoint close_at);

}  // namespace pictorra::ui
