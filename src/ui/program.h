#pragma once
// The program's frame: start-up, the orderly end, and the helpers the windows share.
//
// Making a Program is the start of Main: the window message hook comes first, because every glow
// button hooks itself while its window is built. StartProgram then builds and shows the windows
// and checks the JPEG library; EndProgram takes everything down again in a fixed order, the hook
// last. The one instance check and the event loop stay with main().

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "controls/c_subclass.h"
#include "options/job_windows.h"
#include "shell/help_viewer.h"
#include "shell/message_box.h"
#include "shell/qt_settings_store.h"
#include "ui/image_view.h"
#include "ui/job_bridge.h"
#include "ui/main_window.h"
#include "ui/settings_dialog.h"
#include "ui/tool_dialog.h"
#include "ui/window_stack.h"

namespace pictorra::ui {

inline constexpr char kGraphicsMessage[] =
    "Error. This program requires the libjpeg-turbo library. That must be installed before the "
    "program can start.";
inline constexpr char kGraphicsAddressText[] = " Try this URL to download the installer: ";
inline constexpr char kGraphicsAddress[] = "https://libjpeg-turbo.org/";

class Program : public QObject {
    Q_OBJECT

public:
    // What the program is made of; tests replace parts of it.
    struct Parts {
        std::string program_folder;             // where the help file and the drop sound are
        std::function<bool()> graphics_check;   // empty: can a JPEG encoder be set up?
        shell::MessageBoxes* boxes = nullptr;   // empty: message boxes over the main window
        WindowStacking* stacking = nullptr;     // empty: the window manager's stacking
        shell::SettingsStore* store = nullptr;  // empty: the user's settings file
    };

    explicit Program(Parts parts);
    ~Program() override;
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // True when the program runs; false when it had to end (the JPEG library is missing).
    bool StartProgram();
    // The one orderly way out; does nothing the second time.
    void EndProgram();
    // The close button or the window system's close: the end at once, or, during a run, once
    // the run has finished the pictures it began.
    void RequestEnd();
    bool EndRequested() const { return end_requested_; }
    // The main window's run is over.
    void RunFinished();
    bool Running() const { return running_; }

    controls::CSubclass* Hook() const { return hook_.get(); }
    MainWindow* F1() const { return f1_.get(); }
    ImageView* FShow() const { return fshow_.get(); }
    SettingsDialog* FSets() const { return fsets_.get(); }
    ToolDialog* FTools() const { return ftools_.get(); }
    shell::HelpWindows* Help() const { return help_.get(); }
    // What the jobs draw into and talk to; both outlive every job.
    options::JobWindows& Bridge() { return bridge_; }
    options::PictureBox& Box() { return box_; }
    shell::MessageBoxes& Boxes() { return *parts_.boxes; }

    // ---- helpers the windows share ----------------------------------------------------------
    void SetTopmost(QWidget* window);
    void SetBottom(QWidget* window);
    // Hides the tool dialog and, if the image view is in use, keeps that on top.
    void HideToolDialog();
    // Hides the image view, remembering where it was, with its picture and the tool dialog.
    void HideImageView();
    // The colour chooser: the chosen colour, or -1. Opens at `initial`, or at the mount colour.
    int32_t PickColor(QWidget* owner, std::optional<uint32_t> initial = std::nullopt);
    // A colour from outside 0..0xFFFFFF is ignored.
    void SetMountColor(int64_t color);
    void SetManualCrop(int32_t mode);
    void EnableUndo(bool flag);
    // Help for a "?" label: the viewer at the topic's page, or the missing-file message.
    int ShowHelp(QWidget* owner, const QString& topic);
    // The main window's options button.
    void OpenSettings();

    // A path to load as if it had been dropped (from the command line or a second start). It is
    // taken in once no dialog is open; until then paths wait in order.
    void OfferPath(const QString& path);
    // Brings the main window to the front (a second start without a path).
    void RaiseMainWindow();

signals:
    // EndProgram has run; the event loop may stop.
    void Ended();
    // A waiting path may be taken in now.
    void PathDelivered(const QString& path);

private:
    void DeliverPaths();

    Parts parts_;
    std::unique_ptr<controls::CSubclass> hook_;
    options::PictureBox box_;
    JobBridge bridge_{*this};
    std::unique_ptr<shell::QtSettingsStore> own_store_;
    std::unique_ptr<X11Stacking> own_stacking_;
    std::unique_ptr<shell::MessageBoxes> own_boxes_;
    std::unique_ptr<shell::HelpWindows> help_;
    // The windows: top-level widgets have no parent, so they are owned here, and EndProgram
    // lets them go in its order.
    std::unique_ptr<MainWindow> f1_;
    std::unique_ptr<ImageView> fshow_;
    std::unique_ptr<SettingsDialog> fsets_;
    std::unique_ptr<ToolDialog> ftools_;
    bool running_ = false;
    bool ended_ = false;
    bool graphics_started_ = false;
    bool end_requested_ = false;
    QStringList waiting_paths_;
};

}  // namespace pictorra::ui
