// pictorra-cli: the job of the main window without the windows. PATH is checked as a drop on
// the window is, the options stand for the window's controls, and the texts the window would
// show are printed.
#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <thread>

#include "cli/cli_args.h"
#include "cli/progress.h"
#include "options/c_options.h"
#include "options/path_check.h"
#include "shell/file_ops.h"
#include "shell/qt_settings_store.h"
#include "shell/shared_values.h"
#include "shell/size_settings.h"

namespace {

using pictorra::cli::CliConfig;
using namespace pictorra;

enum ExitStatus { kAllWritten = 0, kSomeFailed = 1, kUsage = 2, kCancelled = 3, kNoPictures = 4 };

// Message texts use CR LF line breaks, as the window's message boxes do.
std::string ForTerminal(std::string text) {
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.replace(at, 2, "\n");
    return text;
}

class TerminalWindows final : public options::JobWindows {
public:
    explicit TerminalWindows(const CliConfig& config)
        : config_(config),
          interactive_(isatty(STDIN_FILENO) != 0),
          progress_(!config.quiet && isatty(STDERR_FILENO) != 0),
          start_(std::chrono::steady_clock::now()) {}

    options::OptionControls ReadControls() override { return config_.controls; }

    void SetReport(const std::string& text) override { report_ = text; }
    void SetNewName(const std::string& text) override { new_name_ = text; }

    bool Ask(const std::string& text) override {
        std::cout << ForTerminal(text) << "\n";
        if (config_.yes) {
            std::cout << "OK (--yes)\n";
            return true;
        }
        if (!interactive_) {
            std::cout << "Cancel (no terminal to answer on; --yes answers OK)\n";
            return false;
        }
        std::cout << "OK or Cancel? [o/C] " << std::flush;
        std::string answer;
        if (!std::getline(std::cin, answer)) return false;
        return answer == "o" || answer == "O" || answer == "ok" || answer == "OK" ||
               answer == "y" || answer == "yes";
    }

    void Inform(const std::string& text) override {
        ClearProgress();
        std::cout << ForTerminal(text) << "\n" << std::flush;
    }

    void PictureFinished(int finished, int total) override {
        if (!progress_) return;
        using namespace std::chrono;
        const double elapsed = duration<double>(steady_clock::now() - start_).count();
        std::fputs(cli::ProgressLine(finished, total, elapsed).c_str(), stderr);
        std::fflush(stderr);
        shown_progress_ = true;
    }

    void ClearProgress() {
        if (!shown_progress_) return;
        std::fprintf(stderr, "\r%60s\r", "");
        shown_progress_ = false;
    }

    const std::string& report() const { return report_; }
    const std::string& new_name() const { return new_name_; }

private:
    const CliConfig& config_;
    bool interactive_;
    bool progress_;
    bool shown_progress_ = false;
    std::chrono::steady_clock::time_point start_;
    std::string report_, new_name_;
};

std::string Reason(int error) { return std::generic_category().message(error); }

// The window's check of a dropped path: 1 picture file, 2 folder, 0 neither (with its message).
// A folder that cannot be listed is named as such here; the window would only find no files.
int CheckPath(const std::string& path) {
    if (shell::FileExists(path)) {
        if (shell::IsImageFile(path)) return options::kDropFile;
        std::cout << options::kNotImageFileMessage << "\n";
        return 0;
    }
    if (shell::FolderExists(path)) {
        DIR* folder = opendir(path.c_str());
        if (!folder) {
            std::cerr << "pictorra-cli: cannot read folder " << path << ": " << Reason(errno)
                      << "\n";
            return 0;
        }
        closedir(folder);
        return options::kDropFolder;
    }
    std::cout << "Not a valid file or folder.\n";
    return 0;
}

// A failed picture's code as the window shows it, with the reason the window does not give.
std::string WithCause(const std::string& text, const std::string& cause) {
    return cause.empty() ? text : text + " (" + cause + ")";
}

int Run(const CliConfig& config) {
    shell::QtSettingsStore store;
    shell::SizeSettingsView no_view;
    shell::LoadSizeSettings(store, no_view);
    // Command-line values stand for one run only; nothing is written to the settings.
    if (config.custom_small) {
        shell::gCropSmDim = *config.custom_small;
        shell::gCropLgDim = *config.custom_large;
    }
    if (config.resize_pixels) shell::gSize3 = *config.resize_pixels;
    shell::gMountColor = config.mount_color;
    // A script gets the same photo information on every machine: the window's saved choice does
    // not reach the command line, and without the option the location is left out.
    shell::gMetadata = config.metadata.value_or(image::MetadataChoice::kNoLocation);

    const int kind = CheckPath(config.path);
    if (kind == 0) return kUsage;
    if (kind == options::kDropFolder && !config.controls.TName.empty()) {
        std::cerr << "pictorra-cli: --name is for a single file, not a folder\n";
        return kUsage;
    }

    TerminalWindows windows(config);
    options::PictureBox box;
    const auto job = std::make_shared<options::cOptions>(windows, box);
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    job->SetJobs(config.jobs > 0 ? config.jobs : int(cores));
    job->SetDropType(kind);
    for (const auto& tool : config.tools) job->AddCustomOp(tool.code, tool.info);
    if (kind == options::kDropFile) {
        job->SetOldFilePath(config.path);
        job->LoadSettings();
        const int32_t r = job->LoadPic();
        if (r != 0) {
            std::cout << WithCause("Error loading file: Err. " + std::to_string(r),
                                   job->LoadFailure())
                      << "\n";
            return kSomeFailed;
        }
    } else {
        job->SetOldFolderPath(config.path);
        job->LoadSettings();
    }

    job->ClearError();
    job->ProcessPics();
    windows.ClearProgress();
    switch (job->LastOutcome()) {
        case options::RunOutcome::kCancelled:
        case options::RunOutcome::kStopped:
            return kCancelled;
        case options::RunOutcome::kNoFiles:
        case options::RunOutcome::kNoPictures:
            return kNoPictures;
        case options::RunOutcome::kNotRun:
            return kUsage;
        case options::RunOutcome::kFinished:
            break;
    }
    const auto& failures = job->Failures();
    if (kind == options::kDropFile && !failures.empty())
        std::cout << WithCause(windows.report(), failures.front().cause) << "\n";
    else
        std::cout << windows.report() << "\n";
    if (!windows.new_name().empty()) std::cout << windows.new_name() << "\n";
    if (kind == options::kDropFolder && !failures.empty()) {
        std::cout << "Processing errors on some files:\n";
        for (const auto& f : failures)
            std::cout << WithCause(f.source + " - Error: " + std::to_string(f.code), f.cause)
                      << "\n";
    }
    std::string folder = job->DestFolder();
    if (folder.size() > 1 && folder.ends_with('/')) folder.pop_back();
    bool complete = true;
    if (job->OutputFolderError() != 0) {
        std::cerr << "pictorra-cli: cannot create folder " << folder << ": "
                  << Reason(job->OutputFolderError()) << "\n";
        complete = false;
    }
    if (job->ErrorLogError() != 0) {
        std::cerr << "pictorra-cli: cannot write the error log in " << folder << ": "
                  << Reason(job->ErrorLogError()) << "\n";
        complete = false;
    }
    return failures.empty() && complete ? kAllWritten : kSomeFailed;
}

}  // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const auto parsed = cli::ParseArgs(args);
    if (!parsed.config) {
        std::cerr << "pictorra-cli: " << parsed.error << "\n";
        return kUsage;
    }
    const CliConfig& config = *parsed.config;
    if (config.help) {
        std::cout << cli::kUsage;
        return kAllWritten;
    }
    if (config.version) {
        std::cout << "pictorra-cli " PICTORRA_VERSION "\n";
        return kAllWritten;
    }
    return Run(config);
}
