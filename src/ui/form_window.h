#pragma once
// What the program's four windows have in common: no title bar of the window system, a thin
// raised frame drawn by the window itself (2 pixels each side, counted in its outer size), a
// client area of a fixed size in which every control is placed by pixel, a label bar that drags
// the window, and glow buttons made the same way everywhere.

#include <QPoint>
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "controls/glow_but.h"

namespace pictorra::ui {

// Moves a window while its label bar is dragged with the left button. The window system's own
// move is asked for first; where it declines (no window manager, or a platform that cannot move
// windows for us) the window follows the pointer by the distance it has travelled.
class WindowDragger : public QObject {
    Q_OBJECT

public:
    WindowDragger(QWidget* bar, QWidget* window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> window_;
    bool dragging_ = false;
    QPoint grab_global_;
    QPoint grab_window_;
};

class FormWindow : public QWidget {
    Q_OBJECT

public:
    static constexpr int kFrame = 2;

    // name: the window's object name; caption: its title for the task bar and window lists.
    FormWindow(const char* name, const QString& caption, QSize client, uint32_t back);

    // The area the controls live in, placed kFrame pixels inside the window.
    QWidget* Client() const { return client_; }
    // Changes the client size; the outer size follows.
    void SetClientSize(QSize size);

    // Lets `bar` drag this window.
    void MakeDragBar(QWidget* bar);

    // A glow button at `place` in `parent` with the windows' stored colours, hooked through
    // `hook` (which must outlive the button's use of it).
    static controls::GlowBut* MakeButton(controls::CSubclass* hook, QWidget* parent,
                                         const char* name, QPoint place, const QImage& picture,
                                         const QString& tip = {});

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QWidget* client_;
};

}  // namespace pictorra::ui
