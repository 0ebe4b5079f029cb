#include "ui/program.h"

#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QTimer>
#include <cmath>

#include "image/c_image.h"
#include "shell/drop_sound.h"
#include "shell/help_topics.h"
#include "shell/pick_color.h"
#include "shell/pickers.h"
#include "shell/program_folder.h"
#include "shell/shared_values.h"

namespace pictorra::ui {

namespace {
// How often a path that arrived during a dialog looks again whether it may be taken in.
constexpr int kDeliveryRetryMs = 250;
}  // namespace

Program::Program(Parts parts)
    : parts_(std::move(parts)), hook_(std::make_unique<controls::CSubclass>()) {
    if (!parts_.graphics_check) parts_.graphics_check = image::JpegEncoderAvailable;
    if (parts_.store == nullptr) {
        own_store_ = std::make_unique<shell::QtSettingsStore>();
        parts_.store = own_store_.get();
    }
    if (parts_.stacking == nullptr) {
        own_stacking_ = std::make_unique<X11Stacking>();
        parts_.stacking = own_stacking_.get();
    }
}

Program::~Program() { EndProgram(); }

bool Program::StartProgram() {
    const std::string& folder = parts_.program_folder;
    shell::gSoundPath = shell::InProgramFolder(folder, shell::kDropSoundName);
    shell::gMutedSoundPath = shell::InProgramFolder(folder, shell::kMutedDropSoundName);
    shell::gHelpPath = shell::InProgramFolder(folder, shell::kHelpFileName);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        shell::gTwipsX =
            static_cast<int32_t>(std::nearbyint(1440.0 / screen->logicalDotsPerInchX()));
        shell::gTwipsY =
            static_cast<int32_t>(std::nearbyint(1440.0 / screen->logicalDotsPerInchY()));
    }
    // The colour chooser's custom colours are one table for this run, black at the start.
    shell::ResetCustomColors();

    f1_ = std::make_unique<MainWindow>(hook_.get(), *this);
    if (parts_.boxes == nullptr) {
        own_boxes_ = std::make_unique<shell::QtMessageBoxes>(f1_.get());
        parts_.boxes = own_boxes_.get();
    }
    help_ = std::make_unique<shell::HelpWindows>();
    connect(f1_.get(), &MainWindow::EndRequested, this, &Program::RequestEnd, Qt::QueuedConnection);
    connect(this, &Program::PathDelivered, f1_.get(), &MainWindow::TakePath);
    // The load buttons: a cancelled picker gives an empty path and nothing happens.
    connect(f1_.get(), &MainWindow::FileRequested, this, [this] {
        const std::string path = shell::BrowseForFile(f1_.get(), "Select image file");
        if (!path.empty()) f1_->TakePath(QString::fromStdString(path));
    });
    connect(f1_.get(), &MainWindow::FolderRequested, this, [this] {
        const std::string path = shell::BrowseForFolder("Select folder for processing:", f1_.get());
        if (!path.empty()) f1_->TakePath(QString::fromStdString(path));
    });
    connect(f1_.get(), &MainWindow::SettingsRequested, this, &Program::OpenSettings);
    connect(f1_.get(), &MainWindow::HelpRequested, this,
            [this](const QString& topic) { ShowHelp(f1_.get(), topic); });

    fsets_ = std::make_unique<SettingsDialog>(hook_.get(), *parts_.store, *f1_);
    connect(fsets_.get(), &SettingsDialog::HelpRequested, this,
            [this](const QString& topic) { ShowHelp(fsets_.get(), topic); });
    SizeDisplay display(*f1_, *fsets_);
    shell::LoadSizeSettings(*parts_.store, display);

    // Centred on the screen the first time it is shown.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        f1_->move(area.center() - QPoint(f1_->width() / 2, f1_->height() / 2));
    }
    f1_->show();
    ImageViewActions actions;
    actions.set_manual_crop = [this](int32_t mode) { SetManualCrop(mode); };
    actions.set_mount_color = [this](int64_t color) { SetMountColor(color); };
    actions.help = [this] { ShowHelp(fshow_.get(), QStringLiteral("tools")); };
    actions.tool = [this](int index) {
        const std::shared_ptr<options::cOptions> job = f1_ ? f1_->Job() : nullptr;
        if (job && index >= 0 && index <= 3) job->DoAction(index);
        if (index >= 4 && index <= 6 && ftools_) ftools_->ShowTool(index);
    };
    actions.place_text = [this](int32_t x, int32_t y) {
        if (ftools_) ftools_->PlaceText(x, y);
    };
    actions.undo = [this] {
        const std::shared_ptr<options::cOptions> job = f1_ ? f1_->Job() : nullptr;
        if (!job) return;
        job->RemoveLastAction();
        if (job->Backups() == 0) EnableUndo(false);
    };
    fshow_ = std::make_unique<ImageView>(hook_.get(), box_, std::move(actions));
    shell::gMountColor = 0xFFFFFF;
    ftools_ = std::make_unique<ToolDialog>(hook_.get(), *this);
    running_ = true;

    graphics_started_ = parts_.graphics_check();
    if (!graphics_started_) {
        parts_.boxes->Plain(std::string(kGraphicsMessage) + kGraphicsAddressText +
                            kGraphicsAddress);
        EndProgram();
        return false;
    }
    return true;
}

void Program::EndProgram() {
    if (ended_) return;
    ended_ = true;
    running_ = false;
    graphics_started_ = false;  // nothing to shut down: the encoder is made per picture
    help_.reset();
    if (fsets_) fsets_->hide();
    fsets_.reset();
    if (ftools_ && ftools_->isVisible()) {
        SetBottom(ftools_.get());
        ftools_->hide();
    }
    ftools_.reset();
    if (fshow_ && fshow_->isVisible()) {
        SetBottom(fshow_.get());
        fshow_->hide();
    }
    fshow_.reset();
    if (f1_) {
        f1_->hide();
        f1_->ReleaseJob();
    }
    own_boxes_.reset();
    f1_.reset();
    hook_.reset();
    emit Ended();
}

void Program::RequestEnd() {
    if (f1_ && f1_->Busy()) {
        // The run sees this through the bridge, finishes what it began and returns; the end
        // follows then.
        end_requested_ = true;
        return;
    }
    EndProgram();
}

void Program::RunFinished() {
    if (end_requested_) QTimer::singleShot(0, this, &Program::EndProgram);
}

void Program::SetTopmost(QWidget* window) { parts_.stacking->SetTopmost(window); }
void Program::SetBottom(QWidget* window) { parts_.stacking->SetBottom(window); }

void Program::HideToolDialog() {
    if (!ftools_ || !ftools_->isVisible()) return;
    SetBottom(ftools_.get());
    ftools_->hide();
    if (fshow_ && fshow_->isVisible()) SetTopmost(fshow_.get());
}

void Program::HideImageView() {
    if (fshow_) {
        SetBottom(fshow_.get());
        if (fshow_->isVisible()) {
            shell::gViewLeft =
                static_cast<int32_t>(std::nearbyint(fshow_->x() * double(shell::gTwipsX)));
            shell::gViewTop =
                static_cast<int32_t>(std::nearbyint(fshow_->y() * double(shell::gTwipsY)));
        }
        fshow_->hide();
        fshow_->ClearPicture();
    }
    if (ftools_) {
        SetBottom(ftools_.get());
        ftools_->hide();
    }
    if (f1_) f1_->SetMoverVisible(false);
}

int32_t Program::PickColor(QWidget* owner, std::optional<uint32_t> initial) {
    return shell::PickColor(owner, initial, shell::gMountColor);
}

void Program::SetMountColor(int64_t color) {
    if (color < 0 || color > 0xFFFFFF) return;
    if (f1_) f1_->SetSwatchColor(static_cast<uint32_t>(color));
    shell::gMountColor = static_cast<uint32_t>(color);
    if (f1_ && f1_->MountTicked() && f1_->Job()) {
        const std::shared_ptr<options::cOptions> job = f1_->Job();
        job->UpdatePic();
    }
}

void Program::SetManualCrop(int32_t mode) {
    shell::gManualCrop = mode;
    if (f1_) f1_->SetManualLabelVisible(mode != 0);
}

void Program::EnableUndo(bool flag) {
    if (fshow_) fshow_->SetUndoEnabled(flag);
}

int Program::ShowHelp(QWidget* owner, const QString& topic) {
    if (!help_) return 0;
    return help_->ShowHelp(owner, shell::gHelpPath, topic.toStdString(), *parts_.boxes);
}

void Program::OpenSettings() {
    if (fsets_) fsets_->Open();
}

void Program::OfferPath(const QString& path) {
    waiting_paths_.append(path);
    DeliverPaths();
}

void Program::RaiseMainWindow() {
    if (!f1_) return;
    if (f1_->isMinimized()) f1_->showNormal();
    f1_->raise();
    f1_->activateWindow();
}

void Program::DeliverPaths() {
    if (!running_) return;
    // A dialog that waits for the user (a message box, a picker, the colour chooser) and a run
    // both let events through; taking a path in under them would change the job behind the
    // user's back.
    if (QApplication::activeModalWidget() != nullptr || (f1_ && f1_->Busy())) {
        QTimer::singleShot(kDeliveryRetryMs, this, &Program::DeliverPaths);
        return;
    }
    while (!waiting_paths_.isEmpty() && running_) emit PathDelivered(waiting_paths_.takeFirst());
}

}  // namespace pictorra::ui
