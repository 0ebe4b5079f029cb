#pragma once
// The job's view of the windows: cOptions reads the main window's options, writes its labels,
// asks its questions and draws into the image view only through this object. It lives as long as
// the program, longer than any job, and forwards to whichever windows exist at the time.

#include "options/job_windows.h"

namespace pictorra::ui {

class Program;

class JobBridge final : public options::JobWindows {
public:
    explicit JobBridge(Program& program) : program_(program) {}

    options::OptionControls ReadControls() override;
    void SelectSquareRatio() override;
    void SetSizeDisplay(const std::string& wide, const std::string& high) override;
    void SetReport(const std::string& text) override;
    void SetNewName(const std::string& text) override;
    void SetMoverVisible(bool visible) override;
    void MainWindowRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override;

    bool Ask(const std::string& text) override;
    void Inform(const std::string& text) override;

    void ProcessPendingEvents() override;
    bool CloseRequested() override;

    bool ViewVisible() override;
    void HideImageView() override;
    void PlaceView(int32_t height, const options::ViewPlacement& where) override;
    void ShowView() override;
    void RefreshPicture() override;
    void SetUndoEnabled(bool enabled) override;

private:
    Program& program_;
};

}  // namespace pictorra::ui
