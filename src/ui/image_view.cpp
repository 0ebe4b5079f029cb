#include "ui/image_view.h"

#include <QLabel>

#include "ui/pictures.h"
#include "ui/ui_style.h"

namespace pictorra::ui {

namespace {
constexpr uint32_t kViewBack = 0xF2E8E8;
}

QLabel* MakeTitleStrip(FormWindow* window, controls::CSubclass* hook, int width,
                       const QString& title, int bar_width, QPoint minimize_at, QPoint close_at) {
    auto* strip = new QLabel(window->Client());
    strip->setObjectName(QStringLiteral("FrTop"));
    strip->setGeometry(0, 0, width, 25);
    strip->setPixmap(QPixmap::fromImage(pictures::Banner(width, 25)));
    QLabel* bar = MakeLabel(strip, "LabBar", QRect(8, 4, bar_width, 21), title,
                            SansFont(kLargePx, true), 0xFFFFFF);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    window->MakeDragBar(bar);
    if (minimize_at.x() >= 0) {
        auto* minimize = FormWindow::MakeButton(hook, strip, "bWindowG(0)", minimize_at,
                                                pictures::MinimizeButton());
        QObject::connect(minimize, &controls::GlowBut::Click, window, &QWidget::showMinimized);
    }
    auto* close =
        FormWindow::MakeButton(hook, strip, minimize_at.x() >= 0 ? "bWindowG(1)" : "bWindowG",
                               close_at, pictures::CloseButton());
    QObject::connect(close, &controls::GlowBut::Click, window, &QWidget::hide);
    return bar;
}

ImageView::ImageView(controls::CSubclass* hook)
    : FormWindow("FShow", QStringLiteral("Image View"), QSize(407, 514), kViewBack) {
    QWidget* c = Client();
    MakeTitleStrip(this, hook, 405, QStringLiteral("   Image View"), 353, QPoint(357, 5),
                   QPoint(380, 5));
    pic_ = new QLabel(c);
    pic_->setObjectName(QStringLiteral("Pic1"));
    pic_->setGeometry(4, 28, 400, 400);
    SetBackColor(pic_, 0xFFFFFF);

    auto* tools = new QFrame(c);
    tools->setObjectName(QStringLiteral("FrTools"));
    tools->setGeometry(0, 424, 405, 85);
    tools->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    undo_ = MakeButton(hook, tools, "bUndoG", QPoint(16, 24),
                       pictures::CaptionButton(49, 25, QStringLiteral("Undo")));
    MakeLabel(tools, "LabStatus", QRect(8, 64, 369, 17),
              QStringLiteral(" * Right-click image sets mount color.   * Drag red box moves crop "
                             "region."),
              WideFont(kSmallPx), kNameText);
    SetUndoEnabled(false);
}

void ImageView::SetUndoEnabled(bool enabled) { undo_->SetEnabled(enabled); }

void ImageView::ClearPicture() { pic_->clear(); }

ToolDialog::ToolDialog(controls::CSubclass* hook)
    : FormWindow("FTools", QStringLiteral("Tools"), QSize(300, 280), kFormBack) {
    MakeTitleStrip(this, hook, 298, QStringLiteral("   Tools"), 250, QPoint(-1, -1),
                   QPoint(276, 5));
}

}  // namespace pictorra::ui
