#include "ui/window_stack.h"

#include <QWidget>
#include <QWindow>

namespace pictorra::ui {

namespace {
QWindow* Handle(QWidget* window) {
    if (window == nullptr) return nullptr;
    window->winId();  // a window never shown has no handle yet
    return window->windowHandle();
}
}  // namespace

void X11Stacking::SetTopmost(QWidget* window) {
    if (QWindow* handle = Handle(window)) {
        handle->setFlag(Qt::WindowStaysOnTopHint, true);
        if (window->isVisible()) window->raise();
    }
}

void X11Stacking::SetBottom(QWidget* window) {
    if (QWindow* handle = Handle(window)) {
        handle->setFlag(Qt::WindowStaysOnTopHint, false);
        window->lower();
    }
}

}  // namespace pictorra::ui
