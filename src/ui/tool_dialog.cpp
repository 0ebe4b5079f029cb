#include "ui/tool_dialog.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QScreen>

#include "image/c_image.h"
#include "options/custom_op.h"
#include "ui/image_adapter.h"
#include "ui/image_view.h"
#include "ui/pictures.h"
#include "ui/program.h"
#include "ui/ui_style.h"

namespace pictorra::ui {

namespace {

constexpr QRect kPanel(6, 30, 250, 176);
constexpr QSize kSample(64, 52);

QLineEdit* MakeBox(QWidget* parent, const char* name, const QRect& place, const QString& text,
                   const QString& tip) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QString::fromLatin1(name));
    box->setGeometry(place);
    box->setToolTip(tip);
    box->setFont(WideFont(kSmallPx));
    return box;
}

QLabel* MakeSwatch(QWidget* parent, const char* name, const QRect& place, const QString& tip) {
    QLabel* swatch = MakeLabel(parent, name, place, QString(), WideFont(kSmallPx), 0, 0);
    swatch->setFrameStyle(QFrame::Box | QFrame::Plain);
    swatch->setToolTip(tip);
    swatch->setCursor(Qt::PointingHandCursor);
    return swatch;
}

QGroupBox* MakePanel(QWidget* parent, const char* name, const QString& caption) {
    auto* panel = new QGroupBox(caption, parent);
    panel->setObjectName(QString::fromLatin1(name));
    panel->setGeometry(kPanel);
    panel->setFont(WideFont(kSmallPx, true));
    SetBackColor(panel, kFormBack);
    return panel;
}

QLabel* Caption(QWidget* parent, const QRect& place, const char* text) {
    return MakeLabel(parent, "", place, QString::fromLatin1(text), WideFont(kSmallPx), kNameText);
}

// Clicks on a swatch label.
class SwatchClicks : public QObject {
public:
    SwatchClicks(QLabel* swatch, std::function<void()> clicked)
        : QObject(swatch), clicked_(std::move(clicked)) {
        swatch->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
            clicked_();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> clicked_;
};

}  // namespace

ToolDialog::ToolDialog(controls::CSubclass* hook, Program& program)
    : FormWindow("FTools", QStringLiteral("Tools"), QSize(262, 248), kFormBack), program_(program) {
    QWidget* c = Client();
    c->setFont(WideFont(kSmallPx));
    QLabel* bar = MakeTitleStrip(this, hook, 260, QStringLiteral("   Tools"), 200, QPoint(-1, -1),
                                 QPoint(238, 5));
    bar->parentWidget()
        ->findChild<controls::GlowBut*>(QStringLiteral("bWindowG"))
        ->disconnect(this);
    connect(bar->parentWidget()->findChild<controls::GlowBut*>(QStringLiteral("bWindowG")),
            &controls::GlowBut::Click, this, [this] { program_.HideToolDialog(); });

    border_ = MakePanel(c, "FrBorder", QStringLiteral("  Colored Border  "));
    Caption(border_, QRect(12, 34, 150, 17), "Thickness: 1 to 99 pixels");
    t_border_ = MakeBox(border_, "TBorder", QRect(176, 32, 40, 21), QStringLiteral("20"),
                        QStringLiteral("Thickness of border in pixels."));
    Caption(border_, QRect(12, 74, 150, 17), "Select border color");
    lab_col_ = MakeSwatch(border_, "LabCol", QRect(176, 70, 40, 24),
                          QStringLiteral("Select border color."));
    new SwatchClicks(lab_col_, [this] { PickSwatch(lab_col_, false); });

    bevel_ = MakePanel(c, "FrBevel", QStringLiteral("  Frame / Bevel  "));
    Caption(bevel_, QRect(12, 30, 150, 17), "Frame / Bevel style");
    box_bev_ = new QComboBox(bevel_);
    box_bev_->setObjectName(QStringLiteral("BoxBev"));
    box_bev_->setGeometry(12, 48, 204, 22);
    box_bev_->setFont(WideFont(kSmallPx));
    for (const options::BevelStyle& style : options::kBevelStyles)
        box_bev_->addItem(QString::fromLatin1(style.name));
    box_bev_->setCurrentIndex(3);
    Caption(bevel_, QRect(12, 90, 150, 17), "Thickness: 1 to 99 pixels");
    t_bev_ = MakeBox(bevel_, "TBev", QRect(176, 88, 40, 21), QStringLiteral("20"),
                     QStringLiteral("Thickness of frame or bevel in pixels."));

    text_ = MakePanel(c, "FrText", QStringLiteral("  Text  "));
    Caption(text_, QRect(10, 22, 120, 17), "Text to print:");
    t_cap_ = MakeBox(text_, "TCap", QRect(10, 40, 230, 21), QString(),
                     QStringLiteral("Text to be printed on image."));
    Caption(text_, QRect(10, 66, 60, 17), "Font");
    box_font_ = new QComboBox(text_);
    box_font_->setObjectName(QStringLiteral("BoxFont"));
    box_font_->setGeometry(10, 84, 150, 22);
    box_font_->setFont(WideFont(kSmallPx));
    box_font_->setToolTip(QStringLiteral("Font face for text."));
    for (const std::string& face : image::InstalledFontFaces())
        box_font_->addItem(QString::fromStdString(face));
    box_font_->setCurrentIndex(-1);
    MakeLabel(text_, "", QRect(168, 66, 76, 17), QStringLiteral("Width, height"),
              SansFont(kSmallPx), kNameText);
    t_size_[0] = MakeBox(text_, "TSize(0)", QRect(168, 84, 34, 22), QStringLiteral("10"),
                         QStringLiteral("Width of avg. character in pixels."));
    t_size_[1] = MakeBox(text_, "TSize(1)", QRect(206, 84, 34, 22), QStringLiteral("24"),
                         QStringLiteral("Height of avg. character in pixels."));
    ck_bold_ = new QCheckBox(QStringLiteral("Bold"), text_);
    ck_bold_->setObjectName(QStringLiteral("CkBold"));
    ck_bold_->setGeometry(10, 116, 70, 20);
    ck_bold_->setFont(WideFont(kSmallPx));
    Caption(text_, QRect(10, 146, 70, 17), "Text color");
    lab_col_t_ =
        MakeSwatch(text_, "LabColT", QRect(84, 142, 40, 24), QStringLiteral("Select text color."));
    new SwatchClicks(lab_col_t_, [this] { PickSwatch(lab_col_t_, true); });
    pic_t_ = new QLabel(text_);
    pic_t_->setObjectName(QStringLiteral("PicT"));
    pic_t_->setGeometry(QRect(QPoint(176, 114), kSample));
    pic_t_->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    SetBackColor(pic_t_, 0xFFFFFF);
    for (QLineEdit* size : t_size_)
        connect(size, &QLineEdit::textChanged, this, &ToolDialog::UpdateSample);
    connect(box_font_, &QComboBox::activated, this, [this] {
        if (isVisible() && !busy_) UpdateSample();
    });
    connect(ck_bold_, &QCheckBox::clicked, this, [this] {
        if (isVisible() && !busy_) UpdateSample();
    });

    fr_click_ = new QFrame(c);
    fr_click_->setObjectName(QStringLiteral("FrClick"));
    fr_click_->setGeometry(kPanel);
    fr_click_->setFrameStyle(QFrame::Box | QFrame::Plain);
    SetBackColor(fr_click_, 0xE8F4FF);
    QLabel* click = MakeLabel(fr_click_, "", QRect(12, 12, 226, 150),
                              QStringLiteral("Click on image to select text position."),
                              SansFont(kLargePx + 2, true), 0x9A5445);
    click->setWordWrap(true);
    click->setAlignment(Qt::AlignCenter);
    fr_click_->hide();

    auto* info = new InfoLabel(c, "LabInfo", QRect(10, 214, 21, 21));
    connect(info, &InfoLabel::Clicked, this,
            [this] { program_.Boxes().Inform(options::kToolHelpMessage); });
    auto* apply = MakeButton(hook, c, "bOKG(0)", QPoint(134, 214),
                             pictures::CaptionButton(36, 23, QStringLiteral("OK")),
                             QStringLiteral("Apply tool."));
    auto* cancel = MakeButton(hook, c, "bOKG(1)", QPoint(178, 214),
                              pictures::CaptionButton(61, 23, QStringLiteral("Cancel")),
                              QStringLiteral("Close without applying tool."));
    connect(apply, &controls::GlowBut::Click, this, &ToolDialog::Apply);
    connect(cancel, &controls::GlowBut::Click, this, &ToolDialog::Cancel);
    SetBackColor(lab_col_, model_.RememberedColor());
    SetBackColor(lab_col_t_, model_.RememberedColor());
}

void ToolDialog::ShowTool(int32_t mode) {
    if (!model_.ShowTool(mode)) return;
    switch (mode) {
        case options::kToolModeBorder:
            border_color_ = model_.RememberedColor();
            SetBackColor(lab_col_, border_color_);
            border_->raise();
            break;
        case options::kToolModeBevel:
            bevel_->raise();
            break;
        default:
            UpdateSample();
            text_->raise();
            break;
    }
    if (fr_click_->isVisible()) fr_click_->raise();
    Place();
    show();
    program_.SetTopmost(this);
    raise();
}

void ToolDialog::Place() {
    const ImageView* view = program_.FShow();
    const QScreen* screen = view != nullptr ? view->screen() : QGuiApplication::primaryScreen();
    if (view == nullptr || screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const options::DialogPlace at =
        options::PlaceBeside({view->x(), view->y(), view->width(), view->height()}, width(),
                             height(), {area.x(), area.y(), area.width(), area.height()});
    move(at.x, at.y);
}

options::ToolEntries ToolDialog::Entries() const {
    options::ToolEntries e;
    e.border = t_border_->text().toStdString();
    e.border_color = border_color_;
    e.bevel = t_bev_->text().toStdString();
    e.bevel_style = box_bev_->currentIndex();
    e.text = t_cap_->text().toStdString();
    e.width = t_size_[0]->text().toStdString();
    e.height = t_size_[1]->text().toStdString();
    e.font = box_font_->currentText().toStdString();
    e.text_color = text_color_;
    return e;
}

void ToolDialog::Apply() {
    if (busy_) return;
    busy_ = true;
    const options::ToolApply result = model_.Apply(Entries());
    if (!result.message.empty()) program_.Boxes().Inform(result.message);
    const std::shared_ptr<options::cOptions> job =
        program_.F1() != nullptr ? program_.F1()->Job() : nullptr;
    switch (result.action) {
        case options::ToolApply::Action::kBorder:
            program_.HideToolDialog();
            if (job) job->DoBorder(result.color, result.thickness);
            break;
        case options::ToolApply::Action::kBevel:
            program_.HideToolDialog();
            if (job) job->DoBevel(result.thickness, result.factor, result.step);
            break;
        case options::ToolApply::Action::kArmText:
            if (ImageView* view = program_.FShow()) view->SetTextClickPending(true);
            fr_click_->show();
            fr_click_->raise();
            break;
        default:
            break;
    }
    busy_ = false;
}

void ToolDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            Apply();
            break;
        case Qt::Key_Escape:
            Cancel();
            break;
        default:
            FormWindow::keyPressEvent(event);
            break;
    }
}

void ToolDialog::Cancel() {
    program_.HideToolDialog();
    if (ImageView* view = program_.FShow()) view->SetTextClickPending(false);
    fr_click_->hide();
    model_.Cancel();
}

void ToolDialog::PlaceText(int32_t x, int32_t y) {
    if (!isVisible() || busy_) return;
    const options::TextPlacement text = model_.PlaceText(x, y, ck_bold_->isChecked());
    const std::shared_ptr<options::cOptions> job =
        program_.F1() != nullptr ? program_.F1()->Job() : nullptr;
    if (job) {
        job->DoText(text.text, text.color, text.width, text.height, text.bold, text.x, text.y,
                    text.font);
    }
    fr_click_->hide();
    program_.HideToolDialog();
}

void ToolDialog::PickSwatch(QLabel* swatch, bool text) {
    const int32_t color = program_.PickColor(this, model_.RememberedColor());
    if (color <= -1) return;
    const auto chosen = static_cast<uint32_t>(color);
    SetBackColor(swatch, chosen);
    model_.SetRememberedColor(chosen);
    if (text) {
        text_color_ = chosen;
        UpdateSample();
    } else {
        border_color_ = chosen;
    }
}

void ToolDialog::UpdateSample() {
    pic_t_->clear();
    const std::shared_ptr<options::cOptions> job =
        program_.F1() != nullptr ? program_.F1()->Job() : nullptr;
    const options::PictureBox& box = program_.Box();
    const auto cell = options::SampleCellFor(
        t_size_[0]->text().toStdString(), t_size_[1]->text().toStdString(), box.ScaleWidth,
        box.ScaleHeight, job ? job->PicWide() : 0, job ? job->PicHigh() : 0);
    if (!cell) return;
    const std::string face = box_font_->currentText().isEmpty()
                                 ? std::string(options::kSampleFallbackFace)
                                 : box_font_->currentText().toStdString();
    const bool bold = ck_bold_->isChecked();
    image::cImage sample;
    if (sample.CreateDIB(kSample.width(), kSample.height()) != 0) return;
    std::fill(sample.DIBitsPtr(), sample.DIBitsPtr() + sample.PicSize(), uint8_t{0xFF});
    // "Ab" in the lower part of the sample, as tall as the scaled cell, centred both ways there.
    const int32_t top = kSample.height() - cell->height;
    const image::TextExtent extent =
        image::MeasureText(options::kSampleText, face, bold, cell->height, cell->width);
    const int32_t x = (kSample.width() - extent.width) / 2;
    const int32_t y = top + (cell->height - extent.height) / 2;
    sample.DrawText(options::kSampleText, face, bold, x, y, cell->height, cell->width, text_color_);
    pic_t_->setPixmap(QPixmap::fromImage(ImageOf(sample)));
}

}  // namespace pictorra::ui
