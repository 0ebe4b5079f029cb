#include "ui/form_window.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWindow>

#include "ui/ui_style.h"

namespace pictorra::ui {

WindowDragger::WindowDragger(QWidget* bar, QWidget* window) : QObject(bar), window_(window) {
    bar->installEventFilter(this);
}

bool WindowDragger::eventFilter(QObject* watched, QEvent* event) {
    if (!window_) return QObject::eventFilter(watched, event);
    switch (event->type()) {
        case QEvent::MouseButtonPress: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton) break;
            QWindow* handle = window_->windowHandle();
            if (handle != nullptr && handle->startSystemMove()) return true;
            dragging_ = true;
            grab_global_ = mouse->globalPosition().toPoint();
            grab_window_ = window_->pos();
            return true;
        }
        case QEvent::MouseMove:
            if (dragging_) {
                const auto* mouse = static_cast<QMouseEvent*>(event);
                window_->move(grab_window_ + mouse->globalPosition().toPoint() - grab_global_);
                return true;
            }
            break;
        case QEvent::MouseButtonRelease:
            if (dragging_ && static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                dragging_ = false;
                return true;
            }
            break;
        default:
            break;
    }
    return QObject::eventFilter(watched, event);
}

FormWindow::FormWindow(const char* name, const QString& caption, QSize client, uint32_t back)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint), client_(new QWidget(this)) {
    setObjectName(QString::fromLatin1(name));
    setWindowTitle(caption);
    client_->setObjectName(QStringLiteral("client"));
    SetBackColor(client_, back);
    SetBackColor(this, back);
    client_->move(kFrame, kFrame);
    SetClientSize(client);
}

void FormWindow::SetClientSize(QSize size) {
    client_->resize(size);
    setFixedSize(size + QSize(2 * kFrame, 2 * kFrame));
}

void FormWindow::MakeDragBar(QWidget* bar) { new WindowDragger(bar, this); }

controls::GlowBut* FormWindow::MakeButton(controls::CSubclass* hook, QWidget* parent,
                                          const char* name, QPoint place, const QImage& picture,
                                          const QString& tip) {
    auto* button = new controls::GlowBut(hook, parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setProperty("Image", picture);
    button->setProperty("GlowColor", QString::fromLatin1(kButtonGlow));
    button->setProperty("DisabledColor", QString::fromLatin1(kButtonDisabled));
    button->move(place);
    if (!tip.isEmpty()) button->setToolTip(tip);
    button->HookButton();
    return button;
}

void FormWindow::paintEvent(QPaintEvent* /*event*/) {
    // A raised edge: light on the top and left, shadow on the bottom and right, two lines each.
    QPainter p(this);
    const int w = width(), h = height();
    const QColor light(255, 255, 255), mid(226, 226, 232), shadow(160, 160, 170), dark(96, 96, 110);
    p.setPen(mid);
    p.drawLine(0, 0, w - 2, 0);
    p.drawLine(0, 0, 0, h - 2);
    p.setPen(light);
    p.drawLine(1, 1, w - 3, 1);
    p.drawLine(1, 1, 1, h - 3);
    p.setPen(dark);
    p.drawLine(0, h - 1, w - 1, h - 1);
    p.drawLine(w - 1, 0, w - 1, h - 1);
    p.setPen(shadow);
    p.drawLine(1, h - 2, w - 2, h - 2);
    p.drawLine(w - 2, 1, w - 2, h - 2);
}

}  // namespace pictorra::ui
