#pragma once
// Files written whole or not at all. The content goes to a new file beside the target, which replaces
// the target by a rename only once it is complete, so a full disk or a file size limit part way leaves
// the old file as it was. Every file the program writes (settings, editor text, patch lists, exports,
// the tree dump) goes through here.

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// Writes bytes to path. An existing target keeps its permission bits (and its owner where the program
// may set it); a new one gets the usual mode for new files. A symbolic link is followed: the file it
// points to is replaced and the link stays. Throws EInOutError naming path on failure; the target is
// then unchanged and no temporary file is left behind.
void WriteFileAtomically(const std::string& path, std::string_view bytes);

// The same for content that writeContent writes into a stream, so that a long text is not held in
// memory first.
void WriteFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& writeContent);

// The file of files that path names too (the same file, however it is spelt or linked), or none: a
// write to path would replace it.
const std::string* SameFileAmong(const std::string& path, const std::vector<std::string>& files);

}  // namespace tambrel
