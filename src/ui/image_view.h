#pragma once
// FShow, the image view: its title strip, the picture box Pic1 and the tool panel under it with
// the undo button. It is made hidden at start-up; closing it only hides it.

#include "ui/form_window.h"

class QLabel;

namespace pictorra::ui {

class ImageView : public FormWindow {
    Q_OBJECT

public:
    explicit ImageView(controls::CSubclass* hook);

    void SetUndoEnabled(bool enabled);
    // Clears what Pic1 shows.
    void ClearPicture();

private:
    controls::GlowBut* undo_ = nullptr;
    QLabel* pic_ = nullptr;
};

// FTools, the dialog of the border, frame and text tools: its frame, hidden until a tool asks
// for it.
class ToolDialog : public FormWindow {
    Q_OBJECT

public:
    explicit ToolDialog(controls::CSubclass* hook);
};

// The title strip every secondary window has: banner, label bar (which drags `window`) and the
// glow buttons at the given places; returns the label bar.
QLabel* MakeTitleStrip(FormWindow* window, controls::CSubclass* hook, int width,
                       const QString& title, int bar_width, QPoint minimize_at, QPoint close_at);

}  // namespace pictorra::ui
