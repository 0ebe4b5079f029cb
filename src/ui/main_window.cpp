#include "ui/main_window.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QMouseEvent>
#include <QPainter>

#include "ui/pictures.h"
#include "ui/ui_style.h"

namespace pictorra::ui {

namespace {

constexpr uint32_t kPanelBack = 0xECD5D2;

QString Name(const char* base, int index) {
    return QStringLiteral("%1(%2)").arg(QString::fromLatin1(base)).arg(index);
}

// A borderless group with a thin sunken edge and its heading as a label.
QFrame* MakeGroup(QWidget* parent, const char* name, const QRect& place, const QString& heading,
                  uint32_t back) {
    auto* group = new QFrame(parent);
    group->setObjectName(QString::fromLatin1(name));
    group->setGeometry(place);
    group->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    group->setLineWidth(1);
    SetBackColor(group, back);
    if (!heading.isEmpty()) {
        MakeLabel(group, "", QRect(8, 6, place.width() - 16, 17), heading, WideFont(kSmallPx, true),
                  kHeadingText);
    }
    return group;
}

QRadioButton* MakeOption(QWidget* parent, const QString& name, QPoint at, const QString& caption,
                         const QString& tip) {
    auto* option = new QRadioButton(caption, parent);
    option->setObjectName(name);
    option->setFont(WideFont(kSmallPx));
    option->move(at);
    option->adjustSize();
    if (!tip.isEmpty()) option->setToolTip(tip);
    return option;
}

}  // namespace

// ---- ImageBarButton ----------------------------------------------------------------------------

ImageBarButton::ImageBarButton(QWidget* parent, int index, const QImage& picture,
                               const QString& tip)
    : QLabel(parent), index_(index) {
    setObjectName(Name("ImBar", index));
    setPixmap(QPixmap::fromImage(picture));
    setFixedSize(picture.size());
    setToolTip(tip);
    setMouseTracking(true);
}

void ImageBarButton::SetLook(Look look) {
    look_ = look;
    update();
}

void ImageBarButton::paintEvent(QPaintEvent* event) {
    QLabel::paintEvent(event);
    if (look_ == Look::kFlat) return;
    QPainter p(this);
    const QRect r = rect().adjusted(0, 0, -1, -1);
    if (look_ == Look::kBorder) {
        p.setPen(shell::ColorFromRef(kStripBack));
        p.drawRect(r);
    } else {
        p.setPen(QColor(110, 110, 120));
        p.drawLine(r.topLeft(), r.topRight());
        p.drawLine(r.topLeft(), r.bottomLeft());
        p.setPen(Qt::white);
        p.drawLine(r.bottomLeft(), r.bottomRight());
        p.drawLine(r.topRight(), r.bottomRight());
    }
}

void ImageBarButton::mouseMoveEvent(QMouseEvent* event) {
    emit Hovered(index_);
    event->accept();
}

void ImageBarButton::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) SetLook(Look::kPressed);
    event->accept();
}

void ImageBarButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    SetLook(Look::kFlat);
    if (rect().contains(event->position().toPoint())) emit Clicked(index_);
    event->accept();
}

// ---- MainWindow --------------------------------------------------------------------------------

MainWindow::MainWindow(controls::CSubclass* hook)
    : FormWindow("F1", QStringLiteral("Pictorra"), QSize(526, 513), kFormBack) {
    Client()->setFont(WideFont(kSmallPx));
    Client()->setMouseTracking(true);
    Client()->installEventFilter(this);
    BuildTitleAndBar(hook);
    BuildLeftColumn(hook);
    BuildCropPanel();
    BuildResizePanel();
    BuildStatusStrip();
}

void MainWindow::BuildTitleAndBar(controls::CSubclass* hook) {
    QWidget* c = Client();
    // Behind the image bar: hovering here takes the bar's looks back to rest.
    for (const auto& [name, place] : {std::pair{"Label4", QRect(-4, 24, 549, 26)},
                                      std::pair{"Label5", QRect(4, 52, 205, 17)}}) {
        QLabel* back = MakeLabel(c, name, place, QString(), WideFont(kSmallPx), 0, kFormBack);
        back->setMouseTracking(true);
        back->installEventFilter(this);
    }
    auto* banner = new QLabel(c);
    banner->setObjectName(QStringLiteral("Image2"));
    banner->setGeometry(0, 0, 526, 24);
    banner->setPixmap(QPixmap::fromImage(pictures::Banner(526, 24)));
    auto* icon = new QLabel(c);
    icon->setObjectName(QStringLiteral("Image1"));
    icon->setGeometry(8, 4, 16, 15);
    icon->setPixmap(QPixmap::fromImage(pictures::ProgramIcon(15)));
    QLabel* bar = MakeLabel(c, "LabBar", QRect(28, 4, 441, 21), QStringLiteral("   Pictorra"),
                            SansFont(kLargePx, true), 0xFFFFFF);
    bar->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    MakeDragBar(bar);
    auto* minimize = MakeButton(hook, c, "bWindowG(0)", QPoint(480, 4), pictures::MinimizeButton());
    auto* close = MakeButton(hook, c, "bWindowG(1)", QPoint(504, 4), pictures::CloseButton(),
                             QStringLiteral("Close"));
    connect(minimize, &controls::GlowBut::Click, this, &QWidget::showMinimized);
    connect(close, &controls::GlowBut::Click, this, &MainWindow::EndRequested);

    const QPoint places[] = {{8, 28}, {32, 28}, {56, 29}, {80, 28}};
    const char* const tips[] = {"Load file", "Load folder", "Options", "Help"};
    for (int i = 0; i < 4; ++i) {
        auto* button = new ImageBarButton(c, i, pictures::BarIcon(i), QString::fromLatin1(tips[i]));
        button->move(places[i]);
        connect(button, &ImageBarButton::Hovered, this, &MainWindow::HoverBarTo);
        connect(button, &ImageBarButton::Clicked, this, [this](int index) {
            switch (index) {
                case 0:
                    emit FileRequested();
                    break;
                case 1:
                    emit FolderRequested();
                    break;
                case 2:
                    emit SettingsRequested();
                    break;
                default:
                    // Not a topic key: the help opens at its first page.
                    emit HelpRequested(QStringLiteral("html\\pctr9fld.htm"));
                    break;
            }
        });
        bar_[size_t(i)] = button;
    }
}

void MainWindow::BuildLeftColumn(controls::CSubclass* hook) {
    QWidget* c = Client();
    auto* drop = new QLabel(c);
    drop->setObjectName(QStringLiteral("ImDrop"));
    drop->setGeometry(68, 80, 75, 75);
    drop->setPixmap(QPixmap::fromImage(pictures::Chute()));
    drop->setToolTip(QStringLiteral("Drop file or folder here for processing."));
    auto* wait = new QLabel(c);
    wait->setObjectName(QStringLiteral("ImWait"));
    wait->setGeometry(160, 108, 23, 28);
    wait->setPixmap(QPixmap::fromImage(pictures::Wait()));
    wait->hide();
    MakeLabel(c, "Label1", QRect(26, 156, 165, 17), QStringLiteral("Drop file or folder."),
              WideFont(kSmallPx), 0)
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    fr_mover_ = new QFrame(c);
    fr_mover_->setObjectName(QStringLiteral("FrMover"));
    fr_mover_->setGeometry(4, 176, 201, 61);
    fr_mover_->hide();

    auto* name_group = new QGroupBox(QStringLiteral("  Enter file name (optional)  "), c);
    name_group->setObjectName(QStringLiteral("FrName"));
    name_group->setGeometry(8, 240, 197, 57);
    auto* name = new QLineEdit(name_group);
    name->setObjectName(QStringLiteral("TName"));
    name->setGeometry(8, 24, 181, 21);

    auto* type_group = new QGroupBox(QStringLiteral("  Save As Type:  "), c);
    type_group->setObjectName(QStringLiteral("Frame2"));
    type_group->setGeometry(8, 300, 197, 93);
    MakeOption(type_group, Name("OpType", 0), {24, 24}, QStringLiteral("JPG"),
               QStringLiteral("Save as JPG file."))
        ->setChecked(true);
    MakeOption(type_group, Name("OpType", 1), {104, 24}, QStringLiteral("BMP"),
               QStringLiteral("Save as BMP file."));
    info_[2] = new InfoLabel(type_group, "LabInfo(2)", QRect(164, 16, 21, 21));
    MakeLabel(type_group, "LabJPG", QRect(8, 48, 177, 17),
              QStringLiteral("Image quality (JPG only)"), WideFont(kSmallPx), 0);
    auto* quality = new QComboBox(type_group);
    quality->setObjectName(QStringLiteral("QList"));
    quality->setGeometry(8, 64, 181, 22);
    quality->addItems({QStringLiteral("Fair  - smallest file"),
                       QStringLiteral("Good - for viewing "), QStringLiteral("High - for printing"),
                       QStringLiteral("Very high - largest file")});
    quality->setCurrentIndex(1);
    quality->setToolTip(QStringLiteral("Select compression level for JPG files."));

    MakeButton(hook, c, "bProc", QPoint(72, 408),
               pictures::CaptionButton(74, 23, QStringLiteral("Process")),
               QStringLiteral("Process selected file or folder."));
    info_[3] = new InfoLabel(c, "LabInfo(3)", QRect(176, 408, 21, 17));
    MakeLabel(c, "LabReport", QRect(12, 440, 189, 17), QString(), WideFont(kSmallPx), 0);
    MakeLabel(c, "LabNewName", QRect(12, 460, 189, 17), QString(), WideFont(kSmallPx), 0);
}

void MainWindow::BuildCropPanel() {
    QWidget* c = Client();
    auto* panel = MakeGroup(c, "FrCrop1", QRect(212, 56, 309, 245), QString(), kPanelBack);
    panel->setFrameStyle(QFrame::NoFrame);
    auto* crop = new QCheckBox(QStringLiteral("Perform Crop"), panel);
    crop->setObjectName(QStringLiteral("CkCrop"));
    crop->setGeometry(8, 8, 129, 22);
    crop->setFont(WideFont(kSmallPx, true));
    crop->setToolTip(QStringLiteral("Apply crop settings to image(s)."));
    for (const auto& [name, place] :
         {std::pair{"TWide", QRect(144, 9, 45, 19)}, std::pair{"THigh", QRect(216, 9, 45, 19)}}) {
        auto* box = new QLineEdit(panel);
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(place);
        box->setReadOnly(true);
    }
    MakeLabel(panel, "LabelX", QRect(192, 9, 21, 17), QString(), WideFont(kSmallPx), 0)
        ->setAlignment(Qt::AlignCenter);
    info_[0] = new InfoLabel(panel, "LabInfo(0)", QRect(276, 12, 16, 14));

    fr_ratio_ = MakeGroup(panel, "FrRatio", QRect(8, 32, 145, 201), QStringLiteral("Crop ratio:"),
                          kFormBack);
    fr_ratio_->setToolTip(
        QStringLiteral("Image will be cropped to largest possible size at selected ratio."));
    fr_ratio_->setMouseTracking(true);
    fr_ratio_->installEventFilter(this);
    const QPoint size_at[] = {{80, 26}, {12, 53}, {80, 53}, {12, 26}, {12, 80}};
    const char* const size_caption[] = {"4 x 6", "5 x 7", "8 x 10", "square", "Custom"};
    const char* const size_tip[] = {
        "Crop (or mount) for 4x6 photo printing.", "Crop (or mount) for 5x7 photo printing.",
        "Crop (or mount) for 8x10 photo printing.", "Crop (or mount) image square.",
        "Crop (or mount) for [custom size] photo printing."};
    for (int i = 0; i < 5; ++i) {
        op_size_[size_t(i)] =
            MakeOption(fr_ratio_, Name("OpSize", i), size_at[i],
                       QString::fromLatin1(size_caption[i]), QString::fromLatin1(size_tip[i]));
    }
    op_size_[0]->setChecked(true);
    ck_mount_ =
        new CaptionCheck(fr_ratio_, "CkMount", QRect(12, 116, 113, 30),
                         QStringLiteral("Mount for no-loss crop"), WideFont(kSmallPx), 0, true);
    ck_mount_->Box()->setToolTip(
        QStringLiteral("Mount image on background of selected ratio to avoid cropping."));
    lab_sel_color_ = MakeLabel(fr_ratio_, "LabSelColor", QRect(60, 152, 25, 21), QString(),
                               WideFont(kSmallPx), 0, 0xFFFFFF);
    lab_sel_color_->setFrameStyle(QFrame::Box | QFrame::Plain);
    lab_sel_color_->setToolTip(
        QStringLiteral("Click to select background color for mounted images."));
    info_[4] = new InfoLabel(fr_ratio_, "LabInfo(4)", QRect(128, 152, 16, 14));
    MakeLabel(fr_ratio_, "LabColortag", QRect(8, 172, 133, 17),
              QStringLiteral("Mounting back color"), WideFont(kSmallPx), 0);
    fr_ratio_->setEnabled(false);

    auto* orient = MakeGroup(panel, "FrOrient", QRect(158, 32, 141, 201),
                             QStringLiteral("Orientation:"), kFormBack);
    orient->setToolTip(
        QStringLiteral("Image start position. Crop will be clipped from opposite sides."));
    orient->setMouseTracking(true);
    orient->installEventFilter(this);
    auto* outline = new QFrame(orient);
    outline->setObjectName(QStringLiteral("Shape1"));
    outline->setGeometry(32, 40, 73, 77);
    outline->setFrameStyle(QFrame::Box | QFrame::Plain);
    auto* indicator = new QFrame(orient);
    indicator->setObjectName(QStringLiteral("RectOrient"));
    indicator->setGeometry(40, 48, 57, 61);
    indicator->setFrameStyle(QFrame::Box | QFrame::Plain);
    SetBackColor(indicator, 0xF0DCD8);
    const QPoint dir_at[] = {{20, 24}, {100, 24}, {100, 120}, {20, 120}, {60, 72}};
    const char* const dir_tip[] = {
        "Keep upper left. Crop from lower right.", "Keep upper right. Crop from lower left.",
        "Keep lower right. Crop from upper left.", "Keep lower left. Crop from upper right.",
        "Center image when cropping."};
    for (int i = 0; i < 5; ++i) {
        QRadioButton* option =
            MakeOption(orient, Name("OpDir", i), dir_at[i], QString(QChar(u'a' + i)),
                       QString::fromLatin1(dir_tip[i]));
        if (i == 4) option->setChecked(true);
    }
    lab_manual_ = MakeLabel(orient, "LabManual", QRect(12, 144, 117, 17),
                            QStringLiteral("Manual crop"), WideFont(kSmallPx), 0);
    lab_manual_->hide();
    auto* ck_orient = new CaptionCheck(orient, "CkOrient", QRect(8, 162, 125, 34),
                                       QStringLiteral("Include orientation in file name:"),
                                       WideFont(kSmallPx), 0, true);
    ck_orient->Box()->setChecked(true);
    ck_orient->Box()->setToolTip(QStringLiteral("Add letter to filename to indicate orientation."));
    orient->setEnabled(false);
}

void MainWindow::BuildResizePanel() {
    auto* panel =
        MakeGroup(Client(), "FrResize1", QRect(212, 304, 309, 172), QString(), kPanelBack);
    panel->setFrameStyle(QFrame::NoFrame);
    auto* resize = new QCheckBox(QStringLiteral("Perform Resize"), panel);
    resize->setObjectName(QStringLiteral("CkResize"));
    resize->setGeometry(8, 8, 133, 22);
    resize->setFont(WideFont(kSmallPx, true));
    resize->setToolTip(QStringLiteral("Apply Resize settings to image(s)."));
    info_[1] = new InfoLabel(panel, "LabInfo(1)", QRect(276, 12, 16, 14));

    auto* sizes =
        MakeGroup(panel, "FrRe1", QRect(8, 32, 290, 73), QStringLiteral("Size:"), kFormBack);
    const char* const size_caption[] = {"Mini-view", "EZ-view", "Desk-view"};
    const char* const size_tip[] = {"Good for email. Largest dimension - 260 pixels.",
                                    "Good for viewing. Largest dimension - 640 pixels.",
                                    "Fit Desktop. Largest dimension - 800 pixels."};
    const int x[] = {12, 104, 192};
    const int label_x[] = {24, 112, 204};
    const char* const label_text[] = {"260px", "640px", "800px"};
    for (int i = 0; i < 3; ++i) {
        op_resize_[size_t(i)] =
            MakeOption(sizes, Name("OpResize", i), {x[i], 26}, QString::fromLatin1(size_caption[i]),
                       QString::fromLatin1(size_tip[i]));
        op_resize_[size_t(i)]->setAutoExclusive(false);  // none is selected at first
        lab_sizes_[size_t(i)] = MakeLabel(
            sizes, Name("LabSizes", i).toLatin1().constData(), QRect(label_x[i], 42, 65, 17),
            QString::fromLatin1(label_text[i]), WideFont(kSmallPx), 0);
        lab_sizes_[size_t(i)]->setEnabled(false);
    }
    sizes->setEnabled(false);

    auto* quality = MakeGroup(panel, "FrRe2", QRect(8, 106, 290, 53),
                              QStringLiteral("Quality of detail:"), kFormBack);
    MakeOption(quality, Name("OpResizeQuality", 0), {20, 26}, QStringLiteral("Standard"),
               QStringLiteral("Render resized image with standard quality."))
        ->setChecked(true);
    MakeOption(quality, Name("OpResizeQuality", 1), {128, 26},
               QStringLiteral("High (for enlarging)"),
               QStringLiteral("Render resized image with high accuracy in details."));
    quality->setEnabled(false);
}

void MainWindow::BuildStatusStrip() {
    auto* strip = MakeGroup(Client(), "FrStat", QRect(2, 484, 521, 25), QString(), kFormBack);
    auto* path = new QLineEdit(strip);
    path->setObjectName(QStringLiteral("TStat"));
    path->setGeometry(12, 4, 385, 17);
    path->setReadOnly(true);
    path->setFrame(false);
    MakeLabel(strip, "LabType", QRect(412, 0, 109, 21), QString(), WideFont(kSmallPx, true), 0)
        ->setAlignment(Qt::AlignCenter);
    // Hover reset areas just larger than the "?" labels they lie behind.
    for (int i = 0; i < 4; ++i) {
        QWidget* info = info_[size_t(i)];
        auto* back = new QLabel(info->parentWidget());
        back->setObjectName(Name("LabIBack", i));
        back->setGeometry(info->geometry().adjusted(-6, -6, 6, 6));
        back->setMouseTracking(true);
        back->installEventFilter(this);
        back->stackUnder(info);
    }
    for (int i = 0; i < 5; ++i) {
        static const char* const keys[] = {"crop", "resize", "jpgqual", "procbut", "mount"};
        InfoLabel* info = info_[size_t(i)];
        connect(info, &InfoLabel::Clicked, this, [this, info, i] {
            emit HelpRequested(QString::fromLatin1(keys[i]));
            info->ShowRest();
        });
    }
}

void MainWindow::SetPresetLabel(int index, const std::string& text) {
    if (index >= 0 && index < 3) lab_sizes_[size_t(index)]->setText(QString::fromStdString(text));
}

void MainWindow::SetPresetTip(int index, const std::string& text) {
    if (index >= 0 && index < 3)
        op_resize_[size_t(index)]->setToolTip(QString::fromStdString(text));
}

void MainWindow::SetCustomRatioCaption(const std::string& text) {
    op_size_[4]->setText(QString::fromStdString(text));
    op_size_[4]->adjustSize();
}

void MainWindow::EnableCustomRatioIfRatiosEnabled() {
    if (op_size_[0]->isEnabled()) op_size_[4]->setEnabled(true);
}

void MainWindow::SetSwatchColor(uint32_t color) { SetBackColor(lab_sel_color_, color); }
bool MainWindow::MountTicked() const { return ck_mount_->Box()->isChecked(); }
void MainWindow::SetManualLabelVisible(bool shown) { lab_manual_->setVisible(shown); }
void MainWindow::SetMoverVisible(bool shown) { fr_mover_->setVisible(shown); }

void MainWindow::ResetInfoLabels() {
    for (InfoLabel* info : info_) info->ShowRest();
}

void MainWindow::HoverBarTo(int index) {
    if (hover_bar_ >= 0 && hover_bar_ < 4)
        bar_[size_t(hover_bar_)]->SetLook(ImageBarButton::Look::kFlat);
    if (index >= 0 && index < 4) bar_[size_t(index)]->SetLook(ImageBarButton::Look::kBorder);
    hover_bar_ = index;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    event->ignore();
    emit EndRequested();
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    ResetInfoLabels();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        const QString name = watched->objectName();
        if (name == QLatin1String("Label4") || name == QLatin1String("Label5")) {
            // The bar goes back to rest; which button glowed last is kept.
            for (ImageBarButton* button : bar_) button->SetLook(ImageBarButton::Look::kFlat);
        } else if (name.startsWith(QLatin1String("LabIBack("))) {
            info_[size_t(name.mid(9, 1).toInt())]->ShowRest();
        } else if (watched == Client() || name == QLatin1String("FrOrient") ||
                   name == QLatin1String("FrRatio")) {
            ResetInfoLabels();
        }
    }
    return FormWindow::eventFilter(watched, event);
}

}  // namespace pictorra::ui
