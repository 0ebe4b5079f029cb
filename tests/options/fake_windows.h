#pragma once
// A scripted stand-in for the windows: option controls set by the test, answers to the
// questions queued by the test, and everything the job writes recorded.

#include <deque>
#include <string>
#include <vector>

#include "options/job_windows.h"

namespace pictorra::test {

class FakeWindows : public options::JobWindows {
public:
    options::OptionControls controls;
    std::deque<bool> answers;  // for Ask; Cancel when empty
    std::vector<std::string> asked, informed;
    std::string wide, high, report, new_name;
    bool view_visible = false, mover_visible = false, undo_enabled = false;
    bool square_selected = false;
    int placed_height = 0;
    options::ViewPlacement placement;
    int main_left = 100, main_top = 50, main_width = 526, main_height = 513;

    options::OptionControls ReadControls() override { return controls; }
    void SelectSquareRatio() override {
        square_selected = true;
        controls.OpSize = 3;
    }
    void SetSizeDisplay(const std::string& w, const std::string& h) override {
        wide = w;
        high = h;
    }
    void SetReport(const std::string& text) override { report = text; }
    void SetNewName(const std::string& text) override { new_name = text; }
    void SetMoverVisible(bool visible) override { mover_visible = visible; }
    void MainWindowRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) override {
        left = main_left;
        top = main_top;
        width = main_width;
        height = main_height;
    }
    bool Ask(const std::string& text) override {
        asked.push_back(text);
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void Inform(const std::string& text) override { informed.push_back(text); }
    bool ViewVisible() override { return view_visible; }
    void HideImageView() override { view_visible = false; }
    void PlaceView(int32_t height, const options::ViewPlacement& where) override {
        placed_height = height;
        placement = where;
    }
    void ShowView() override { view_visible = true; }
    void SetUndoEnabled(bool enabled) override { undo_enabled = enabled; }
};

}  // namespace pictorra::test
