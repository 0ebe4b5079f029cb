#pragma once
// File and folder utilities of the application shell, on POSIX: existence tests, path splitting,
// deleting, moving and listing files, deleting a folder tree, and the picture-file test.
//
// Paths are UTF-8 std::string with "/" separators. A folder path carries no trailing "/" except
// after AddBackslash. No function here throws or reports an error: a failure gives false, ""
// or 0, or leaves the operation undone (DeleteFolderTree: half done); callers that need certainty
// test with FileExists / FolderExists afterwards. No state is kept and the process's current folder
// is never changed, so every function may run on any thread.
//
// The file attributes the job speaks of are these on POSIX:
//   - "folder" is a directory; existence tests follow symbolic links, as opening a file does;
//   - "read-only" is a missing owner write permission; it is cleared before a delete (only when the
//     file has no other hard link, so that a name outside the deleted set never changes mode);
//   - "hidden" and "system" files are those with a leading dot; they are listed and deleted like
//     any other file;
//   - a symbolic link is never followed when deleting: the link itself is removed.

#include <cstdint>
#include <string>

namespace pictorra::shell {

// The most names ListFiles returns: its count is a 16-bit number, as callers expect.
inline constexpr int16_t kMaxListedFiles = INT16_MAX;

// True when the path exists (after following symbolic links) and is a regular file. Pipes,
// sockets and devices are not files (opening a pipe to read it would wait for a writer). False for
// "", a missing path, a dangling link or a path whose parent cannot be searched.
bool FileExists(const std::string& path);

// True when the path exists (after following symbolic links) and is a folder.
bool FolderExists(const std::string& path);

// The text after the last "/" (all of it when there is none), cut before its last "." when it
// has one: "/a/b.c.jpg" -> "b.c", "/a/b" -> "b", ".jpg" -> "".
std::string FileBaseName(const std::string& path);

// The text after the last "." anywhere in the path, without the dot; "" when there is no dot.
// The search does not stop at a "/": "/my.pics/photo" -> "pics/photo"; "photo." -> "".
std::string FileExtension(const std::string& path);

// The text before the last "/": "/a/b.jpg" -> "/a", "b.jpg" -> "". A path whose only "/" is the
// leading one gives "/" (the root keeps its separator, as "C:\b.jpg" keeps its drive "C:"), so that
// both ParentFolder + "/" + name and AddBackslash(ParentFolder) still name a file in the root.
std::string ParentFolder(const std::string& path);

// Deletes the file (or the symbolic link itself) when it exists, made writable first. A missing
// path, or a folder, is left alone; the outcome of the delete is not reported.
void KillFile(const std::string& path);

// Moves the source over the destination by copy then delete, never a rename: the destination is
// deleted (KillFile), the source's content is copied to it with the source's permissions plus
// owner write, and only when the copy succeeded is the source deleted. Nothing happens when the
// source is missing or not a regular file, or when both paths name the same file. A failed copy
// leaves the source as it was and no partial destination.
void MoveFileOver(const std::string& source, const std::string& destination);

// Lists the files of a folder whose names match "*." + extension ("*.*", every file, when the
// extension is ""), comparing without regard to ASCII letter case ("jpg" matches "A.JPG"); "*" and
// "?" in the extension are wildcards (any run of characters, one character). Lists regular files
// and symbolic links to regular files, hidden ones included; never folders, links to folders,
// dangling links, pipes, sockets or devices, and never a name containing "*" (it could not be
// split again).
// The names (without folder) are sorted by their bytes with ASCII letters folded to upper case,
// ties by their plain bytes, so every run lists a folder in the same order; the first
// kMaxListedFiles of that order are kept. They are joined by "*" into `list`, with no leading or
// trailing "*". Returns the count of names: 0 and "" when the folder is missing or cannot be read.
// When reading fails part-way, the names read until then are returned.
int16_t ListFiles(const std::string& folder, const std::string& extension, std::string& list);

// Deletes the folder with all its files and sub-folders. A trailing "/" is accepted; a path that
// is not a folder (a file, a missing path) is left alone, and so is the root folder. A symbolic
// link anywhere in the tree is removed itself and never followed; a path that is itself a link to
// a folder loses the link only. Folders and files without write permission are made writable (a
// folder also readable and searchable) so that their entries can go. Never crosses into another
// mounted file system. Stops at the first error (an entry that cannot be deleted, a folder that
// cannot be opened); what was deleted until then stays deleted and the folder remains. Each folder
// is read once, so the routine always ends. It never changes the current folder: POSIX removes a
// folder that is current, and the current folder belongs to every thread of the process. Nesting
// deeper than the limit of open files stops it as an error.
void DeleteFolderTree(const std::string& folder);

// Appends "/" to a non-empty path that does not end in "/"; an empty path stays empty.
void AddBackslash(std::string& path);

// True when the extension (FileExtension) is one the program reads, in any ASCII letter case:
// BMP, JPG, JPEG, GIF, PNG, WEBP, TIF, TIFF, HEIC or HEIF.
bool IsImageFile(const std::string& path);

}  // namespace pictorra::shell
