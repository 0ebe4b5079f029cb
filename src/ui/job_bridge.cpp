#include "ui/job_bridge.h"

#include <QCoreApplication>

#include "ui/program.h"

namespace pictorra::ui {

options::OptionControls JobBridge::ReadControls() {
    MainWindow* f1 = program_.F1();
    return f1 != nullptr ? f1->ReadControls() : options::OptionControls{};
}

void JobBridge::SelectSquareRatio() {
    if (MainWindow* f1 = program_.F1()) f1->SelectSquareRatio();
}

void JobBridge::SetSizeDisplay(const std::string& wide, const std::string& high) {
    if (MainWindow* f1 = program_.F1()) f1->SetSizeDisplay(wide, high);
}

void JobBridge::SetReport(const std::string& text) {
    if (MainWindow* f1 = program_.F1()) f1->SetReport(text);
}

void JobBridge::SetNewName(const std::string& text) {
    if (MainWindow* f1 = program_.F1()) f1->SetNewName(text);
}

void JobBridge::SetMoverVisible(bool visible) {
    if (MainWindow* f1 = program_.F1()) f1->SetMoverVisible(visible);
}

void JobBridge::MainWindowRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
    left = top = width = height = 0;
    if (const MainWindow* f1 = program_.F1()) {
        left = f1->x();
        top = f1->y();
        width = f1->width();
        height = f1->height();
    }
}

bool JobBridge::Ask(const std::string& text) { return program_.Boxes().Ask(text); }
void JobBridge::Inform(const std::string& text) { program_.Boxes().Inform(text); }

void JobBridge::ProcessPendingEvents() { QCoreApplication::processEvents(); }
bool JobBridge::CloseRequested() { return program_.EndRequested(); }

bool JobBridge::ViewVisible() {
    const ImageView* view = program_.FShow();
    return view != nullptr && view->isVisible();
}

void JobBridge::HideImageView() { program_.HideImageView(); }

void JobBridge::PlaceView(int32_t height, const options::ViewPlacement& where) {
    ImageView* view = program_.FShow();
    if (view == nullptr) return;
    // The height counts the window's own border; the width stays.
    view->SetClientSize(QSize(view->Client()->width(), height - 2 * FormWindow::kFrame));
    if (!where.keep_position) view->move(where.left, where.top);
}

void JobBridge::ShowView() {
    ImageView* view = program_.FShow();
    if (view == nullptr) return;
    view->SyncToBox();
    view->show();
    program_.SetTopmost(view);
    view->raise();
}

void JobBridge::RefreshPicture() {
    if (ImageView* view = program_.FShow()) view->SyncToBox();
}

void JobBridge::SetUndoEnabled(bool enabled) { program_.EnableUndo(enabled); }

}  // namespace pictorra::ui
