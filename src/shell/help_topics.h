#pragma once
// Which help page a "?" label opens. Each window passes a short topic key; the key picks a page
// of the compiled help file pictorra.chm beside the program. Keys are compared exactly, letter
// case included ("Crop" is not "crop"); an empty or unknown key opens the file's default page, so
// a caller that passes something else (the main window's help button passes a page name) still
// gets help. Pages are named as they are stored inside the file: absolute, under "/html/".
//
// The decision is kept apart from the viewer so that it can be tested without windows; the viewer
// shows kMissingHelpMessage when the decision says the file is missing.

#include <string>
#include <string_view>

namespace pictorra::shell {

inline constexpr char kHelpFileName[] = "pictorra.chm";
inline constexpr char kHelpDefaultPage[] = "/html/pctr9fld.htm";
inline constexpr char kMissingHelpMessage[] = "Error. The help file [pictorra.chm] is missing.";

struct HelpTopic {
    std::string_view key;
    std::string_view page;
};

// The topic keys and their pages, in the order of the windows' labels.
inline constexpr HelpTopic kHelpTopics[] = {
    {"crop", "/html/pctr9flj.htm"},    {"resize", "/html/pctr9fll.htm"},
    {"jpgqual", "/html/pctr9f5e.htm"}, {"procbut", "/html/pctr9fle.htm"},
    {"mount", "/html/pctr9flh.htm"},   {"tools", "/html/pctr9f5d.htm"},
    {"options", "/html/pctr9f5h.htm"},
};

// The page for a topic key; kHelpDefaultPage when the key is empty or not one of kHelpTopics.
std::string_view HelpPageFor(std::string_view topic);

struct HelpRequest {
    bool file_missing = false;  // true: show kMissingHelpMessage and nothing else
    std::string page;           // otherwise: open the help file at this page
};

// What ShowHelp does for a topic when the help file is expected at help_path: the missing-file
// message when it is not an existing regular file, else the page to open.
HelpRequest DecideHelp(const std::string& help_path, std::string_view topic);

}  // namespace pictorra::shell
