#pragma once
// Where the running program lives. The help file and the drop sound sit beside the executables,
// and the executables are reached through symbolic links (bin/pictorra -> lib/pictorra/pictorra),
// so the folder is taken from the kernel's record of the executable, not from argv[0].

#include <string>

namespace pictorra::shell {

// The folder holding the running executable, with symbolic links resolved, without a trailing
// "/" (except the root itself, "/"). "" when /proc/self/exe cannot be read.
std::string ProgramFolder();

// The folder and the name joined by exactly one "/": ("/opt/p", "a.wav") -> "/opt/p/a.wav",
// ("/opt/p/", "/a.wav") -> "/opt/p/a.wav", ("/", "a.wav") -> "/a.wav". An empty folder gives
// the name unchanged (a name relative to the current folder), an empty name gives the folder.
std::string InProgramFolder(const std::string& folder, const std::string& name);

}  // namespace pictorra::shell
