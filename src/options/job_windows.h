#pragma once
// The seam between the job and the windows. cOptions reads the main window's option controls,
// writes its size display and result labels, asks its questions, lets pending events run and
// draws into the image view's picture box only through what is declared here. The Qt windows
// implement it; tests and the command-line front end supply their own.

#include <cstdint>
#include <string>

#include "image/c_image.h"

namespace pictorra::options {

// The main window's option controls, as values. Indices are those of the option groups.
struct OptionControls {
    bool CkCrop = false;      // "Perform Crop"
    bool CkMount = false;     // "Mount for no-loss crop"
    bool CkOrient = true;     // "Include orientation in file name:"
    bool CkResize = false;    // "Perform Resize"
    int OpSize = 0;           // 0 "4 x 6", 1 "5 x 7", 2 "8 x 10", 3 "square", 4 "Custom"
    int OpDir = 4;            // 0 "a" .. 4 "e"
    int OpResize = -1;        // 0 Mini-view, 1 EZ-view, 2 Desk-view, -1 none selected
    int OpResizeQuality = 0;  // 0 "Standard", 1 "High (for enlarging)"
    int OpType = 0;           // 0 "JPG", 1 "BMP"
    int QList = 1;            // JPG compression list entry, -1 = nothing selected
    std::string TName;        // "Enter file name (optional)"
};

// The crop box drawn over the preview, in picture-box pixels (top-down).
struct CropBox {
    double Left = 0;
    double Top = 0;
    double Width = 0;
    double Height = 0;
    bool Visible = false;
};

// The image view's picture box: the surface it shows, its size and the crop box over it. It
// belongs to the image view and outlives every job.
struct PictureBox {
    image::cImage surface;  // what the box shows, ScaleWidth x ScaleHeight
    double ScaleWidth = 0;  // inner size in pixels (the box has no border: outer = inner)
    double ScaleHeight = 0;
    uint32_t BackColor = 0xFFFFFF;  // colour reference (red in the low byte)
    CropBox crop;

    // Gives the box a new size, cleared to its back colour.
    void SetSize(int32_t width, int32_t height);
    // Clears what the box shows to its back colour.
    void Clear();
};

// Where the image view goes when a preview is drawn into it while it is hidden.
struct ViewPlacement {
    bool keep_position = false;  // the view was visible: it stays where it is
    int32_t left = 0;            // otherwise its new top-left, in pixels
    int32_t top = 0;
};

class JobWindows {
public:
    virtual ~JobWindows() = default;

    // ---- main window ---------------------------------------------------------------------
    virtual OptionControls ReadControls() = 0;
    // The custom ratio cannot be used: the ratio group falls back to "square".
    virtual void SelectSquareRatio() {}
    // TWide, THigh and the "X" between them.
    virtual void SetSizeDisplay(const std::string& /*wide*/, const std::string& /*high*/) {}
    virtual void SetReport(const std::string& /*text*/) {}   // LabReport
    virtual void SetNewName(const std::string& /*text*/) {}  // LabNewName
    virtual void SetMoverVisible(bool /*visible*/) {}        // FrMover
    // Main window position and size in pixels, for placing the image view under it.
    virtual void MainWindowRect(int32_t& left, int32_t& top, int32_t& width, int32_t& height) {
        left = top = width = height = 0;
    }

    // ---- questions and reports (title "Pictorra") ----------------------------------------
    // OK/Cancel with the question icon: true for OK.
    virtual bool Ask(const std::string& text) = 0;
    // OK with the information icon.
    virtual void Inform(const std::string& text) = 0;

    // ---- long work -------------------------------------------------------------------------
    // Lets window events run: between the pictures of a folder run, and every few milliseconds
    // while pictures are being worked on by other threads. They may do anything but
    // close the windows: a close asked for meanwhile is answered by CloseRequested, and the
    // windows close once the run has returned.
    virtual void ProcessPendingEvents() {}
    // True once the user asked to close the program: the run finishes the pictures it has begun,
    // writes its error log and returns without beginning another.
    virtual bool CloseRequested() { return false; }
    // A picture of a folder run finished (in order); `done` counts all finished ones.
    virtual void PictureFinished(int /*finished*/, int /*total*/) {}

    // ---- image view --------------------------------------------------------------------
    virtual bool ViewVisible() { return false; }
    // Hides the view with its crop box and the tool dialog, remembering where it was.
    virtual void HideImageView() {}
    // Sets the view's height (pixels) and, unless told to keep it, its position.
    virtual void PlaceView(int32_t /*height*/, const ViewPlacement& /*where*/) {}
    // Shows the view on top of the other windows.
    virtual void ShowView() {}
    // The picture box or its crop box changed: repaint.
    virtual void RefreshPicture() {}
    virtual void SetUndoEnabled(bool /*enabled*/) {}
};

}  // namespace pictorra::options
