#include "ui/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QGroupBox>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <thread>

#include "options/arrangement.h"
#include "options/path_check.h"
#include "shell/drop_sound.h"
#include "shell/file_ops.h"
#include "shell/shared_values.h"
#include "ui/image_view.h"
#include "ui/pictures.h"
#include "ui/program.h"
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

// ---- MainWindow --------------------------------------------------------------------------------

// ---- DropTarget --------------------------------------------------------------------------------

DropTarget::DropTarget(QWidget* parent) : QLabel(parent) { setAcceptDrops(true); }

// Every drag is welcome, so that every drop reaches the handler, which says what it thinks of it.
void DropTarget::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }
void DropTarget::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void DropTarget::dropEvent(QDropEvent* event) {
    QString path;
    if (const QMimeData* data = event->mimeData(); data != nullptr && data->hasUrls()) {
        const QList<QUrl> urls = data->urls();
        if (!urls.isEmpty() && urls.first().isLocalFile()) path = urls.first().toLocalFile();
    }
    event->acceptProposedAction();
    emit Dropped(path);
}

// ---- MainWindow --------------------------------------------------------------------------------

MainWindow::MainWindow(controls::CSubclass* hook, Program& program)
    : FormWindow("F1", QStringLiteral("Pictorra"), QSize(526, 513), kFormBack), program_(program) {
    Client()->setFont(WideFont(kSmallPx));
    Client()->setMouseTracking(true);
    Client()->installEventFilter(this);
    BuildTitleAndBar(hook);
    BuildLeftColumn(hook);
    BuildCropPanel();
    BuildResizePanel();
    BuildStatusStrip();
    // Tab goes through the options as they are read: crop, resize, then the output.
    std::vector<QWidget*> order{ck_crop_};
    for (int i : {3, 0, 1, 2, 4}) order.push_back(op_size_[size_t(i)]);
    order.push_back(ck_mount_->Box());
    order.insert(order.end(), op_dir_.begin(), op_dir_.end());
    order.push_back(ck_orient_->Box());
    order.push_back(ck_resize_);
    order.insert(order.end(), op_resize_.begin(), op_resize_.end());
    order.insert(order.end(), op_quality_.begin(), op_quality_.end());
    order.insert(order.end(), {t_name_, op_type_[0], op_type_[1], q_list_});
    for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
    // Creation: the quality list at "Good", a white mount colour and the first (empty) job.
    q_list_->setCurrentIndex(1);
    shell::gMountColor = 0xFFFFFF;
    job_ = std::make_shared<options::cOptions>(program_.Bridge(), program_.Box());
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
        auto* button =
            new ImageBarButton(c, "ImBar", i, pictures::BarIcon(i), QString::fromLatin1(tips[i]));
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
    auto* drop = new DropTarget(c);
    drop->setObjectName(QStringLiteral("ImDrop"));
    drop->setGeometry(68, 80, 75, 75);
    drop->setPixmap(QPixmap::fromImage(pictures::Chute()));
    drop->setToolTip(QStringLiteral("Drop file or folder here for processing."));
    // Taken in after the drop has returned, so that the file manager is not held while a message
    // box waits or the sound plays.
    connect(drop, &DropTarget::Dropped, this, &MainWindow::TakePath, Qt::QueuedConnection);
    im_wait_ = new QLabel(c);
    im_wait_->setObjectName(QStringLiteral("ImWait"));
    im_wait_->setGeometry(160, 108, 23, 28);
    im_wait_->setPixmap(QPixmap::fromImage(pictures::Wait()));
    im_wait_->hide();
    MakeLabel(c, "Label1", QRect(26, 156, 165, 17), QStringLiteral("Drop file or folder."),
              WideFont(kSmallPx), 0)
        ->setAlignment(Qt::AlignHCenter | Qt::AlignTop);

    fr_mover_ = new QFrame(c);
    fr_mover_->setObjectName(QStringLiteral("FrMover"));
    fr_mover_->setGeometry(4, 176, 201, 61);
    auto* outline = new QFrame(fr_mover_);
    outline->setObjectName(QStringLiteral("Shape2"));
    outline->setGeometry(4, 8, 193, 49);
    outline->setFrameStyle(QFrame::Box | QFrame::Plain);
    SetTextColor(outline, 0xC0A0A0);
    QLabel* heading =
        MakeLabel(fr_mover_, "Label6", QRect(0, 0, 201, 17),
                  QStringLiteral("  Move image view window:  "), WideFont(kSmallPx), kNameText);
    // The heading sits on the outline's top edge, as wide as its caption.
    heading->adjustSize();
    heading->setGeometry((201 - heading->width()) / 2, 0, heading->width(), 17);
    SetBackColor(heading, kFormBack);
    const int move_x[] = {40, 90, 144};
    const char* const move_tip[] = {"Align windows side by side.", "Align windows vertically.",
                                    "Arrange windows in cascade style."};
    for (int i = 0; i < 3; ++i) {
        move_[size_t(i)] = MakeButton(
            hook, fr_mover_, QStringLiteral("bMoveG(%1)").arg(i).toLatin1().constData(),
            QPoint(move_x[i], 24), pictures::MoveIcon(i), QString::fromLatin1(move_tip[i]));
        connect(move_[size_t(i)], &controls::GlowBut::Click, this, [this, i] { Arrange(i); });
    }
    fr_mover_->hide();

    fr_name_ = new QGroupBox(QStringLiteral("  Enter file name (optional)  "), c);
    fr_name_->setObjectName(QStringLiteral("FrName"));
    fr_name_->setGeometry(8, 240, 197, 57);
    t_name_ = new QLineEdit(fr_name_);
    t_name_->setObjectName(QStringLiteral("TName"));
    t_name_->setGeometry(8, 24, 181, 21);

    auto* type_group = new QGroupBox(QStringLiteral("  Save As Type:  "), c);
    type_group->setObjectName(QStringLiteral("Frame2"));
    type_group->setGeometry(8, 300, 197, 93);
    op_type_[0] = MakeOption(type_group, Name("OpType", 0), {24, 24}, QStringLiteral("JPG"),
                             QStringLiteral("Save as JPG file."));
    op_type_[1] = MakeOption(type_group, Name("OpType", 1), {104, 24}, QStringLiteral("BMP"),
                             QStringLiteral("Save as BMP file."));
    op_type_[0]->setChecked(true);
    for (QRadioButton* option : op_type_) {
        connect(option, &QRadioButton::clicked, this, &MainWindow::TypeClicked);
    }
    info_[2] = new InfoLabel(type_group, "LabInfo(2)", QRect(164, 16, 21, 21));
    lab_jpg_ = MakeLabel(type_group, "LabJPG", QRect(8, 48, 177, 17),
                         QStringLiteral("Image quality (JPG only)"), WideFont(kSmallPx), 0);
    q_list_ = new QComboBox(type_group);
    q_list_->setObjectName(QStringLiteral("QList"));
    q_list_->setGeometry(8, 64, 181, 22);
    q_list_->addItems({QStringLiteral("Fair  - smallest file"),
                       QStringLiteral("Good - for viewing "), QStringLiteral("High - for printing"),
                       QStringLiteral("Very high - largest file")});
    q_list_->setToolTip(QStringLiteral("Select compression level for JPG files."));

    b_proc_ = MakeButton(hook, c, "bProc", QPoint(72, 408),
                         pictures::CaptionButton(74, 23, QStringLiteral("Process")),
                         QStringLiteral("Process selected file or folder."));
    connect(b_proc_, &controls::GlowBut::Click, this, &MainWindow::Process);
    info_[3] = new InfoLabel(c, "LabInfo(3)", QRect(176, 408, 21, 17));
    lab_report_ = MakeLabel(c, "LabReport", QRect(12, 440, 189, 17), QString(), WideFont(kSmallPx),
                            kNameText);
    lab_new_name_ = MakeLabel(c, "LabNewName", QRect(12, 460, 189, 17), QString(),
                              WideFont(kSmallPx), kNameText);
}

void MainWindow::BuildCropPanel() {
    QWidget* c = Client();
    auto* panel = MakeGroup(c, "FrCrop1", QRect(212, 56, 309, 245), QString(), kPanelBack);
    panel->setFrameStyle(QFrame::NoFrame);
    ck_crop_ = new QCheckBox(QStringLiteral("Perform Crop"), panel);
    ck_crop_->setObjectName(QStringLiteral("CkCrop"));
    ck_crop_->setGeometry(8, 8, 129, 22);
    ck_crop_->setFont(WideFont(kSmallPx, true));
    ck_crop_->setToolTip(QStringLiteral("Apply crop settings to image(s)."));
    connect(ck_crop_, &QCheckBox::clicked, this, &MainWindow::CropClicked);
    t_wide_ = new QLineEdit(panel);
    t_high_ = new QLineEdit(panel);
    for (const auto& [box, name, place] : {std::tuple{t_wide_, "TWide", QRect(144, 9, 45, 19)},
                                           std::tuple{t_high_, "THigh", QRect(216, 9, 45, 19)}}) {
        box->setObjectName(QString::fromLatin1(name));
        box->setGeometry(place);
        box->setReadOnly(true);
        box->setAlignment(Qt::AlignCenter);
        // The size boxes never hold the caret: the focus goes on to "Perform Crop".
        box->installEventFilter(this);
    }
    label_x_ = MakeLabel(panel, "LabelX", QRect(192, 9, 21, 17), QString(), WideFont(kSmallPx), 0);
    label_x_->setAlignment(Qt::AlignCenter);
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
        op_size_[size_t(i)]->setEnabled(false);
        connect(op_size_[size_t(i)], &QRadioButton::clicked, this, &MainWindow::SizeClicked);
    }
    op_size_[0]->setChecked(true);
    ck_mount_ =
        new CaptionCheck(fr_ratio_, "CkMount", QRect(12, 116, 113, 30),
                         QStringLiteral("Mount for no-loss crop"), WideFont(kSmallPx), 0, true);
    ck_mount_->Box()->setToolTip(
        QStringLiteral("Mount image on background of selected ratio to avoid cropping."));
    ck_mount_->setEnabled(false);
    connect(ck_mount_->Box(), &QCheckBox::clicked, this, &MainWindow::MountClicked);
    lab_sel_color_ = MakeLabel(fr_ratio_, "LabSelColor", QRect(60, 152, 25, 21), QString(),
                               WideFont(kSmallPx), 0, 0xFFFFFF);
    lab_sel_color_->setFrameStyle(QFrame::Box | QFrame::Plain);
    lab_sel_color_->setToolTip(
        QStringLiteral("Click to select background color for mounted images."));
    lab_sel_color_->setCursor(Qt::PointingHandCursor);
    lab_sel_color_->installEventFilter(this);
    lab_sel_color_->setEnabled(false);
    info_[4] = new InfoLabel(fr_ratio_, "LabInfo(4)", QRect(128, 152, 16, 14));
    lab_colortag_ = MakeLabel(fr_ratio_, "LabColortag", QRect(8, 172, 133, 17),
                              QStringLiteral("Mounting back color"), WideFont(kSmallPx), 0);
    lab_colortag_->setEnabled(false);
    fr_ratio_->setEnabled(false);

    fr_orient_ = MakeGroup(panel, "FrOrient", QRect(158, 32, 141, 201),
                           QStringLiteral("Orientation:"), kFormBack);
    fr_orient_->setToolTip(
        QStringLiteral("Image start position. Crop will be clipped from opposite sides."));
    fr_orient_->setMouseTracking(true);
    fr_orient_->installEventFilter(this);
    auto* outline = new QFrame(fr_orient_);
    outline->setObjectName(QStringLiteral("Shape1"));
    outline->setGeometry(32, 40, 73, 77);
    outline->setFrameStyle(QFrame::Box | QFrame::Plain);
    rect_orient_ = new QFrame(fr_orient_);
    rect_orient_->setObjectName(QStringLiteral("RectOrient"));
    rect_orient_->setGeometry(40, 48, 57, 61);
    rect_orient_->setFrameStyle(QFrame::Box | QFrame::Plain);
    SetBackColor(rect_orient_, 0xF0DCD8);
    const QPoint dir_at[] = {{20, 24}, {100, 24}, {100, 120}, {20, 120}, {60, 72}};
    const char* const dir_tip[] = {
        "Keep upper left. Crop from lower right.", "Keep upper right. Crop from lower left.",
        "Keep lower right. Crop from upper left.", "Keep lower left. Crop from upper right.",
        "Center image when cropping."};
    for (int i = 0; i < 5; ++i) {
        op_dir_[size_t(i)] = MakeOption(fr_orient_, Name("OpDir", i), dir_at[i],
                                        QString(QChar(u'a' + i)), QString::fromLatin1(dir_tip[i]));
        op_dir_[size_t(i)]->setEnabled(false);
        connect(op_dir_[size_t(i)], &QRadioButton::clicked, this, [this, i] { DirClicked(i); });
    }
    op_dir_[4]->setChecked(true);
    lab_manual_ = MakeLabel(fr_orient_, "LabManual", QRect(12, 144, 117, 17),
                            QStringLiteral("Manual crop"), WideFont(kSmallPx, true), 0x0000C0);
    lab_manual_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    lab_manual_->hide();
    ck_orient_ = new CaptionCheck(fr_orient_, "CkOrient", QRect(8, 162, 125, 34),
                                  QStringLiteral("Include orientation in file name:"),
                                  WideFont(kSmallPx), 0, true);
    ck_orient_->Box()->setChecked(true);
    ck_orient_->Box()->setToolTip(
        QStringLiteral("Add letter to filename to indicate orientation."));
    ck_orient_->setEnabled(false);
    fr_orient_->setEnabled(false);
}

void MainWindow::BuildResizePanel() {
    auto* panel =
        MakeGroup(Client(), "FrResize1", QRect(212, 304, 309, 172), QString(), kPanelBack);
    panel->setFrameStyle(QFrame::NoFrame);
    ck_resize_ = new QCheckBox(QStringLiteral("Perform Resize"), panel);
    ck_resize_->setObjectName(QStringLiteral("CkResize"));
    ck_resize_->setGeometry(8, 8, 133, 22);
    ck_resize_->setFont(WideFont(kSmallPx, true));
    ck_resize_->setToolTip(QStringLiteral("Apply Resize settings to image(s)."));
    connect(ck_resize_, &QCheckBox::clicked, this, &MainWindow::ResizeClicked);
    info_[1] = new InfoLabel(panel, "LabInfo(1)", QRect(276, 12, 16, 14));

    fr_re1_ = MakeGroup(panel, "FrRe1", QRect(8, 32, 290, 73), QStringLiteral("Size:"), kFormBack);
    const char* const size_caption[] = {"Mini-view", "EZ-view", "Desk-view"};
    const char* const size_tip[] = {"Good for email. Largest dimension - 260 pixels.",
                                    "Good for viewing. Largest dimension - 640 pixels.",
                                    "Fit Desktop. Largest dimension - 800 pixels."};
    const int x[] = {12, 104, 192};
    const int label_x[] = {24, 112, 204};
    const char* const label_text[] = {"260px", "640px", "800px"};
    for (int i = 0; i < 3; ++i) {
        op_resize_[size_t(i)] =
            MakeOption(fr_re1_, Name("OpResize", i), {x[i], 26},
                       QString::fromLatin1(size_caption[i]), QString::fromLatin1(size_tip[i]));
        op_resize_[size_t(i)]->setEnabled(false);
        lab_sizes_[size_t(i)] = MakeLabel(
            fr_re1_, Name("LabSizes", i).toLatin1().constData(), QRect(label_x[i], 42, 65, 17),
            QString::fromLatin1(label_text[i]), WideFont(kSmallPx), 0);
        lab_sizes_[size_t(i)]->setEnabled(false);  // always shown greyed
    }
    fr_re1_->setEnabled(false);

    fr_re2_ = MakeGroup(panel, "FrRe2", QRect(8, 106, 290, 53),
                        QStringLiteral("Quality of detail:"), kFormBack);
    op_quality_[0] =
        MakeOption(fr_re2_, Name("OpResizeQuality", 0), {20, 26}, QStringLiteral("Standard"),
                   QStringLiteral("Render resized image with standard quality."));
    op_quality_[1] = MakeOption(
        fr_re2_, Name("OpResizeQuality", 1), {128, 26}, QStringLiteral("High (for enlarging)"),
        QStringLiteral("Render resized image with high accuracy in details."));
    op_quality_[0]->setChecked(true);
    for (QRadioButton* option : op_quality_) option->setEnabled(false);
    fr_re2_->setEnabled(false);
}

void MainWindow::BuildStatusStrip() {
    auto* strip = MakeGroup(Client(), "FrStat", QRect(2, 484, 521, 25), QString(), kFormBack);
    t_stat_ = new QLineEdit(strip);
    t_stat_->setObjectName(QStringLiteral("TStat"));
    t_stat_->setGeometry(12, 4, 385, 17);
    t_stat_->setReadOnly(true);
    t_stat_->setFrame(false);
    lab_type_ =
        MakeLabel(strip, "LabType", QRect(412, 2, 105, 21), QString(), WideFont(kSmallPx, true), 0);
    lab_type_->setAlignment(Qt::AlignCenter);
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
    static const char* const keys[] = {"crop", "resize", "jpgqual", "procbut", "mount"};
    for (int i = 0; i < 5; ++i) {
        InfoLabel* info = info_[size_t(i)];
        connect(info, &InfoLabel::Clicked, this, [this, info, i] {
            emit HelpRequested(QString::fromLatin1(keys[i]));
            info->ShowRest();
        });
    }
}

// ---- what the settings show --------------------------------------------------------------------

void MainWindow::SetPresetLabel(int index, const std::string& text) {
    if (index >= 0 && index < 3) lab_sizes_[size_t(index)]->setText(QString::fromStdString(text));
}

void MainWindow::SetPresetTip(int index, const std::string& text) {
    if (index >= 0 && index < 3) {
        op_resize_[size_t(index)]->setToolTip(QString::fromStdString(text));
    }
}

void MainWindow::SetCustomRatioCaption(const std::string& text) {
    op_size_[4]->setText(QString::fromStdString(text));
    op_size_[4]->adjustSize();
}

void MainWindow::EnableCustomRatioIfRatiosEnabled() {
    if (op_size_[0]->isEnabled()) op_size_[4]->setEnabled(true);
}

// ---- what the job reads and writes -------------------------------------------------------------

options::OptionControls MainWindow::ReadControls() const {
    options::OptionControls c;
    c.CkCrop = ck_crop_->isChecked();
    c.CkMount = ck_mount_->Box()->isChecked();
    c.CkOrient = ck_orient_->Box()->isChecked();
    c.CkResize = ck_resize_->isChecked();
    const auto selected = [](const auto& options) {
        int found = -1;
        for (size_t i = 0; i < options.size(); ++i)
            if (options[i]->isChecked()) found = int(i);
        return found;
    };
    c.OpSize = std::max(0, selected(op_size_));
    c.OpDir = std::max(0, selected(op_dir_));
    c.OpResize = selected(op_resize_);
    c.OpResizeQuality = std::max(0, selected(op_quality_));
    c.OpType = std::max(0, selected(op_type_));
    c.QList = q_list_->currentIndex();
    c.TName = t_name_->text().toStdString();
    return c;
}

void MainWindow::SelectSquareRatio() { op_size_[3]->setChecked(true); }

void MainWindow::SetSizeDisplay(const std::string& wide, const std::string& high) {
    t_wide_->setText(QString::fromStdString(wide));
    t_high_->setText(QString::fromStdString(high));
    label_x_->setText(wide.empty() && high.empty() ? QString() : QStringLiteral("X"));
}

void MainWindow::SetReport(const std::string& text) {
    lab_report_->setText(QString::fromStdString(text));
}

void MainWindow::SetNewName(const std::string& text) {
    lab_new_name_->setText(QString::fromStdString(text));
}

void MainWindow::SetSwatchColor(uint32_t color) { SetBackColor(lab_sel_color_, color); }
bool MainWindow::MountTicked() const { return ck_mount_->Box()->isChecked(); }
void MainWindow::SetManualLabelVisible(bool shown) { lab_manual_->setVisible(shown); }
void MainWindow::SetMoverVisible(bool shown) { fr_mover_->setVisible(shown); }

// ---- loading -----------------------------------------------------------------------------------

void MainWindow::TakePath(const QString& path) {
    const std::string p = path.toStdString();
    const int kind = CheckPath(p);
    if (kind > 0) LoadPath(p, kind);
}

int MainWindow::CheckPath(const std::string& path) {
    t_wide_->clear();
    t_high_->clear();
    label_x_->clear();
    lab_type_->clear();
    lab_type_->setFrameStyle(QFrame::NoFrame);
    const options::PathCheck check = options::CheckPathKind(path);
    if (!check.type_label.empty()) {
        lab_type_->setText(QString::fromStdString(check.type_label));
        lab_type_->setFrameStyle(QFrame::Box | QFrame::Plain);
    }
    if (!check.message.empty()) program_.Boxes().Inform(check.message);
    return check.kind;
}

void MainWindow::LoadPath(const std::string& path, int kind) {
    job_.reset();
    program_.HideImageView();
    QCoreApplication::processEvents();
    t_stat_->setText(QString::fromStdString(path));
    t_name_->clear();
    lab_new_name_->clear();
    lab_report_->clear();
    b_proc_->SetEnabled(true);
    program_.EnableUndo(false);
    if (shell::FileExists(shell::gSoundPath)) shell::PlayDropSound(shell::gSoundPath);
    program_.SetManualCrop(0);
    job_ = std::make_shared<options::cOptions>(program_.Bridge(), program_.Box());
    // The job may be replaced by events that run inside its own calls; keep this one alive.
    const std::shared_ptr<options::cOptions> job = job_;
    job->SetDropType(kind);
    // A folder's pictures are worked on by every core; the outputs are the same as one by one.
    job->SetJobs(static_cast<int>(std::max(1u, std::thread::hardware_concurrency())));
    if (kind == options::kDropFile) {
        job->SetOldFilePath(path);
        job->LoadSettings();
        const int32_t result = job->LoadPic();
        if (result != 0) {
            lab_report_->setText(QStringLiteral("Error loading file: Err. %1").arg(result));
            if (job_ == job) job_.reset();
            t_stat_->clear();
            b_proc_->SetEnabled(false);
            return;
        }
        job->ShowPic();
        fr_name_->setEnabled(true);
        t_name_->setEnabled(true);
        Arrange(0);
    } else {
        fr_name_->setEnabled(false);
        t_name_->setEnabled(false);
        job->SetOldFolderPath(path);
        job->LoadSettings();
    }
}

// ---- enable rules and option handlers ----------------------------------------------------------

void MainWindow::SetCropControls(bool enable) {
    if (!enable) {
        for (QWidget* w : std::initializer_list<QWidget*>{
                 fr_ratio_, fr_orient_, ck_mount_, lab_sel_color_, lab_colortag_, ck_orient_})
            w->setEnabled(false);
        for (QRadioButton* o : op_size_) o->setEnabled(false);
        for (QRadioButton* o : op_dir_) o->setEnabled(false);
        if (job_) job_->SetCropEnabled(false);
        return;
    }
    for (QWidget* w : std::initializer_list<QWidget*>{fr_ratio_, fr_orient_, ck_mount_,
                                                      lab_sel_color_, lab_colortag_})
        w->setEnabled(true);
    for (int i = 0; i < 4; ++i) op_size_[size_t(i)]->setEnabled(true);
    if (shell::gCropSmDim >= 1 && shell::gCropLgDim >= 1) op_size_[4]->setEnabled(true);
    if (!MountTicked()) {
        int selected = -1;
        for (int i = 0; i < 5; ++i) {
            op_dir_[size_t(i)]->setEnabled(true);
            if (op_dir_[size_t(i)]->isChecked()) selected = i;
        }
        if (selected >= 0) DirClicked(selected);
        ck_orient_->setEnabled(true);
    } else {
        for (QRadioButton* o : op_dir_) o->setEnabled(false);
        ck_orient_->setEnabled(false);
    }
    if (job_) job_->SetCropEnabled(true);
}

void MainWindow::SetResizeControls(bool enable) {
    for (QWidget* w : std::initializer_list<QWidget*>{fr_re1_, fr_re2_}) w->setEnabled(enable);
    for (QRadioButton* o : op_quality_) o->setEnabled(enable);
    for (QRadioButton* o : op_resize_) o->setEnabled(enable);
    for (QWidget* w : std::initializer_list<QWidget*>{t_wide_, t_high_, label_x_})
        w->setVisible(!enable);
}

void MainWindow::CropClicked() {
    program_.SetManualCrop(0);
    if (ck_crop_->isChecked()) {
        SetCropControls(true);
        if (job_) job_->SetCropEnabled(true);
        return;
    }
    if (MountTicked()) {
        ck_mount_->Box()->setChecked(false);
        MountClicked();
    }
    if (job_) job_->SetMountEnabled(false);
    SetCropControls(false);
    if (job_) job_->SetCropEnabled(false);
}

void MainWindow::MountClicked() {
    program_.SetManualCrop(0);
    const bool mount = MountTicked();
    if (job_) job_->SetMountEnabled(mount);
    for (QRadioButton* o : op_dir_) o->setEnabled(!mount);
    ck_orient_->setEnabled(!mount);
}

void MainWindow::ResizeClicked() {
    const bool resize = ck_resize_->isChecked();
    SetResizeControls(resize);
    if (job_) job_->SetResizeEnabled(resize);
}

void MainWindow::ClearToolsIfAny() {
    if (job_ && job_->CustomOps() > 0) {
        const std::shared_ptr<options::cOptions> job = job_;
        job->ClearCustomOps();
        job->ShowPic();
    }
}

void MainWindow::SizeClicked() {
    if (job_) job_->UpdateRatio();
    program_.SetManualCrop(0);
    ClearToolsIfAny();
}

void MainWindow::DirClicked(int index) {
    // The indicator sits in the corner of the outline the crop keeps, or in its middle.
    static constexpr QPoint kIndicator[] = {{32, 40}, {48, 40}, {48, 56}, {32, 56}, {40, 48}};
    if (index >= 0 && index < 5) rect_orient_->move(kIndicator[index]);
    if (job_) job_->UpdateOrientation();
    ClearToolsIfAny();
    program_.SetManualCrop(0);
}

void MainWindow::TypeClicked() {
    const bool jpg = !op_type_[1]->isChecked();
    q_list_->setEnabled(jpg);
    lab_jpg_->setEnabled(jpg);
}

void MainWindow::SwatchClicked() {
    // The chooser opens at black, not at the colour in use.
    const int32_t color = program_.PickColor(this, 0u);
    if (color <= -1) return;
    SetSwatchColor(static_cast<uint32_t>(color));
    shell::gMountColor = static_cast<uint32_t>(color);
    if (MountTicked() && job_) {
        const std::shared_ptr<options::cOptions> job = job_;
        job->UpdatePic();
    }
}

// ---- the process button and the arrangement ----------------------------------------------------

void MainWindow::Process() {
    lab_report_->clear();
    if (!job_ || job_->DropType() == options::kDropNone) return;
    if (t_stat_->text().isEmpty() || busy_) return;
    busy_ = true;
    const std::shared_ptr<options::cOptions> job = job_;
    job->ClearError();
    im_wait_->show();
    setCursor(Qt::WaitCursor);
    QCoreApplication::processEvents();
    job->ProcessPics();
    im_wait_->hide();
    unsetCursor();
    if (const std::string& errors = job->ErrorText(); !errors.empty()) {
        program_.Boxes().Inform("Processing errors on some files:\r\n" + errors);
    }
    busy_ = false;
    program_.RunFinished();
}

void MainWindow::Arrange(int arrangement) {
    ImageView* view = program_.FShow();
    if (view == nullptr || !view->isVisible() || busy_) return;
    busy_ = true;
    const QScreen* screen = this->screen();
    const double tx = shell::gTwipsX, ty = shell::gTwipsY;
    options::ArrangeInput in{};
    if (screen != nullptr) {
        in.screen_width = screen->geometry().width() * tx;
        in.screen_height = screen->geometry().height() * ty;
    }
    in.main_width = width() * tx;
    in.main_height = height() * ty;
    in.view_width = view->width() * tx;
    in.tools_height = program_.FTools() != nullptr ? program_.FTools()->height() * ty : 0;
    const options::ArrangeResult r = options::ArrangeWindows(arrangement, in);
    move(options::TwipsToPixels(r.main_left, shell::gTwipsX),
         options::TwipsToPixels(r.main_top, shell::gTwipsY));
    // The view follows the main window from where it really went.
    double view_left = 0, view_top = 0;
    options::PlaceViewBy(arrangement, x() * tx, y() * ty, in, view_left, view_top);
    view->move(options::TwipsToPixels(view_left, shell::gTwipsX),
               options::TwipsToPixels(view_top, shell::gTwipsY));
    busy_ = false;
}

// ---- events ------------------------------------------------------------------------------------

void MainWindow::ResetInfoLabels() {
    for (InfoLabel* info : info_) info->ShowRest();
}

void MainWindow::HoverBarTo(int index) {
    if (hover_bar_ >= 0 && hover_bar_ < 4) {
        bar_[size_t(hover_bar_)]->SetLook(ImageBarButton::Look::kFlat);
    }
    if (index >= 0 && index < 4) bar_[size_t(index)]->SetLook(ImageBarButton::Look::kBorder);
    hover_bar_ = index;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The window system's close (Alt+F4, the task bar) ends the program as the close button does.
    event->ignore();
    emit EndRequested();
}

void MainWindow::changeEvent(QEvent* event) {
    FormWindow::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    // A visible image view follows the main window down to the task bar and back.
    ImageView* view = program_.FShow();
    if (view == nullptr || !view->isVisible()) return;
    if (isMinimized()) {
        view->showMinimized();
    } else {
        view->showNormal();
    }
}

void MainWindow::mouseMoveEvent(QMouseEvent* event) {
    ResetInfoLabels();
    event->accept();
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove: {
            const QString name = watched->objectName();
            if (name == QLatin1String("Label4") || name == QLatin1String("Label5")) {
                // The bar goes back to rest; which button glowed last is kept.
                for (ImageBarButton* button : bar_) button->SetLook(ImageBarButton::Look::kFlat);
            } else if (name.startsWith(QLatin1String("LabIBack("))) {
                info_[size_t(name.mid(9, 1).toInt())]->ShowRest();
            } else if (watched == Client() || watched == fr_orient_ || watched == fr_ratio_) {
                ResetInfoLabels();
            }
            break;
        }
        case QEvent::FocusIn:
            if (watched == t_wide_ || watched == t_high_) ck_crop_->setFocus();
            break;
        case QEvent::MouseButtonRelease:
            if (watched == lab_sel_color_ && lab_sel_color_->isEnabled() &&
                static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
                SwatchClicked();
                return true;
            }
            break;
        default:
            break;
    }
    return FormWindow::eventFilter(watched, event);
}

}  // namespace pictorra::ui
