#include "ui/image_view.h"

#include <QGroupBox>
#include <QMouseEvent>
#include <QPainter>

#include "options/geometry.h"
#include "ui/image_adapter.h"
#include "ui/image_bar.h"
#include "ui/pictures.h"
#include "ui/ui_style.h"

namespace pictorra::ui {

namespace {
constexpr uint32_t kViewBack = 0xF2E8E8;
constexpr uint32_t kCropBoxColor = 0x8000FF;
constexpr int kCropBoxWidth = 2;
constexpr int kViewWidth = 407;
}  // namespace

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

// ---- PictureBoxWidget --------------------------------------------------------------------------

PictureBoxWidget::PictureBoxWidget(QWidget* parent, const options::PictureBox& box)
    : QWidget(parent), box_(box) {
    setObjectName(QStringLiteral("Pic1"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBoxWidget::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), shell::ColorFromRef(box_.BackColor));
    if (box_.surface.PicValid()) p.drawImage(0, 0, ImageOf(box_.surface));
    if (box_.crop.Visible) {
        // The outline lies inside the box, so that it never covers a pixel outside the crop.
        p.setPen(QPen(shell::ColorFromRef(kCropBoxColor), kCropBoxWidth));
        p.setBrush(Qt::NoBrush);
        const qreal half = kCropBoxWidth / 2.0;
        p.drawRect(QRectF(box_.crop.Left, box_.crop.Top, box_.crop.Width, box_.crop.Height)
                       .adjusted(half, half, -half, -half));
    }
}

void PictureBoxWidget::mousePressEvent(QMouseEvent* event) {
    emit Pressed(event->button(), event->position());
    event->accept();
}

void PictureBoxWidget::mouseMoveEvent(QMouseEvent* event) {
    emit Moved(event->buttons(), event->position());
    event->accept();
}

void PictureBoxWidget::mouseReleaseEvent(QMouseEvent* event) {
    emit Released(event->button(), event->position());
    event->accept();
}

// ---- ImageView ---------------------------------------------------------------------------------

ImageView::ImageView(controls::CSubclass* hook, options::PictureBox& box, ImageViewActions actions)
    : FormWindow("FShow", QStringLiteral("Image View"), QSize(kViewWidth, 509), kViewBack),
      box_(box),
      actions_(std::move(actions)) {
    QWidget* c = Client();
    MakeTitleStrip(this, hook, 405, QStringLiteral("   Image View"), 353, QPoint(357, 5),
                   QPoint(380, 5));
    pic_ = new PictureBoxWidget(c, box_);
    pic_->setGeometry(4, kStripHeight, 400, 400);
    connect(pic_, &PictureBoxWidget::Pressed, this, &ImageView::PicPressed);
    connect(pic_, &PictureBoxWidget::Moved, this, &ImageView::PicMoved);
    connect(pic_, &PictureBoxWidget::Released, this, &ImageView::PicReleased);

    tools_ = new QFrame(c);
    tools_->setObjectName(QStringLiteral("FrTools"));
    tools_->setGeometry(0, 424, 405, 81);
    static_cast<QFrame*>(tools_)->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    tools_->setMouseTracking(true);
    tools_->installEventFilter(this);
    auto* group = new QGroupBox(QStringLiteral(" Tools "), tools_);
    group->setObjectName(QStringLiteral("FrTools1"));
    group->setGeometry(4, 4, 393, 57);
    group->setFont(WideFont(kSmallPx));
    group->setMouseTracking(true);
    group->installEventFilter(this);
    const char* const tips[] = {"Lighten",
                                "Darken",
                                "Sharpen",
                                "Soften",
                                "Add colored border.",
                                "Add frame / bevel.",
                                "Print text on image."};
    const char* const labels[] = {"Light", "Dark", "Sharp", "Soft", "Border", "Frame", "Text"};
    for (int i = 0; i < 7; ++i) {
        const int x = 76 + 44 * i;
        auto* tool = new ImageBarButton(group, "ImTool", i, pictures::ToolIcon(i),
                                        QString::fromLatin1(tips[i]));
        tool->move(x, 12);
        connect(tool, &ImageBarButton::Hovered, this, &ImageView::HoverToolTo);
        connect(tool, &ImageBarButton::Clicked, this, &ImageView::ToolClicked);
        tool_[size_t(i)] = tool;
        QLabel* label = MakeLabel(group, QStringLiteral("Label2(%1)").arg(i).toLatin1().constData(),
                                  QRect(x - 8, 36, 40, 17), QString::fromLatin1(labels[i]),
                                  WideFont(kSmallPx), kNameText);
        label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    }
    auto* back = new QLabel(group);
    back->setObjectName(QStringLiteral("LabIBack"));
    back->setGeometry(364, 12, 25, 41);
    back->setMouseTracking(true);
    back->installEventFilter(this);
    info_ = new InfoLabel(group, "LabInfo", QRect(370, 24, 21, 21));
    connect(info_, &InfoLabel::Clicked, this, [this] {
        if (actions_.help) actions_.help();
    });
    undo_ = MakeButton(hook, tools_, "bUndoG", QPoint(16, 24),
                       pictures::CaptionButton(49, 25, QStringLiteral("Undo")));
    undo_->setToolTip(QStringLiteral("Undo the last tool."));
    undo_->raise();
    connect(undo_, &controls::GlowBut::Click, this, &ImageView::UndoClicked);
    MakeLabel(tools_, "LabStatus", QRect(8, 62, 390, 17),
              QStringLiteral(
                  " * Right-click image sets mount color.   * Drag red box moves crop region."),
              SansFont(kSmallPx), kNameText);
    SetUndoEnabled(false);
}

void ImageView::SetUndoEnabled(bool enabled) { undo_->SetEnabled(enabled); }

void ImageView::SyncToBox() {
    const int w = options::Nearest(box_.ScaleWidth), h = options::Nearest(box_.ScaleHeight);
    pic_->setGeometry(0, kStripHeight, w, h);
    tools_->move(0, h + kStripHeight);
    pic_->update();
}

void ImageView::ClearPicture() {
    box_.Clear();
    box_.crop.Visible = false;
    pic_->update();
}

void ImageView::PicPressed(Qt::MouseButton button, QPointF at) {
    if (button == Qt::RightButton) return;  // the right button acts on release
    if (!text_click_pending_) {
        if (pic_->cursor().shape() != Qt::ArrowCursor) dragging_ = true;
        return;
    }
    if (const auto point = options::TextClickPoint(at.x(), at.y(), box_.crop)) {
        if (actions_.place_text) actions_.place_text(point->first, point->second);
    }
}

void ImageView::PicMoved(Qt::MouseButtons buttons, QPointF at) {
    if ((buttons & Qt::RightButton) || !box_.crop.Visible || text_click_pending_) return;
    if (!dragging_) {
        const auto edge =
            options::HoverEdge(at.x(), at.y(), box_.crop, box_.ScaleWidth, box_.ScaleHeight);
        if (!edge) return;  // near the picture box's own border the pointer stays as it is
        grab_edge_ = *edge;
        switch (*edge) {
            case options::CropEdge::kLeft:
            case options::CropEdge::kRight:
                pic_->setCursor(Qt::SizeHorCursor);
                break;
            case options::CropEdge::kTop:
            case options::CropEdge::kBottom:
                pic_->setCursor(Qt::SizeVerCursor);
                break;
            default:
                pic_->setCursor(Qt::ArrowCursor);
                break;
        }
        return;
    }
    const options::CropDrag drag = options::DragCropBox(grab_edge_, at.x(), at.y(), box_.crop,
                                                        box_.ScaleWidth, box_.ScaleHeight);
    if (!drag.moved) return;
    box_.crop.Left = drag.left;
    box_.crop.Top = drag.top;
    pic_->update();
    if (actions_.set_manual_crop) actions_.set_manual_crop(drag.manual_mode);
}

void ImageView::PicReleased(Qt::MouseButton button, QPointF at) {
    dragging_ = false;
    if (button == Qt::RightButton && actions_.set_mount_color) {
        actions_.set_mount_color(options::PixelAt(box_.surface, at.x(), at.y()));
    }
    pic_->setCursor(Qt::ArrowCursor);
    grab_edge_ = options::CropEdge::kNone;
    text_click_pending_ = false;
}

void ImageView::HoverToolTo(int index) {
    if (hover_tool_ >= 0 && hover_tool_ < 7) {
        tool_[size_t(hover_tool_)]->SetLook(ImageBarButton::Look::kFlat);
    }
    if (index >= 0 && index < 7) tool_[size_t(index)]->SetLook(ImageBarButton::Look::kBorder);
    hover_tool_ = index;
}

void ImageView::ToolClicked(int index) {
    if (tool_busy_) return;
    tool_busy_ = true;
    if (actions_.tool) actions_.tool(index);
    tool_busy_ = false;
}

void ImageView::UndoClicked() {
    if (tool_busy_) return;
    tool_busy_ = true;
    if (actions_.undo) actions_.undo();
    tool_busy_ = false;
}

bool ImageView::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == info_->parentWidget() || watched == tools_) {
            for (ImageBarButton* tool : tool_) tool->SetLook(ImageBarButton::Look::kFlat);
        } else if (watched->objectName() == QLatin1String("LabIBack")) {
            info_->ShowRest();
        }
    }
    return FormWindow::eventFilter(watched, event);
}

}  // namespace pictorra::ui
