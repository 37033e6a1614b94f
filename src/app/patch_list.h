#pragma once
// The patch files of a project and the patch list file written from them.

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The names of the patch files in dir: its entries whose names end in ".pch" in any letter case and
// that are regular files or links to one; hidden entries (names starting with '.') are left out.
// Sorted by name without regard to ASCII letter case, ties by their bytes. An empty dir, or one that
// does not exist or cannot be read, lists nothing (never the working directory).
std::vector<std::string> ListPatchFiles(const std::string& dir);

// Whether a listed name goes into a patch list: its first ".pch" in any letter case is its end
// ("x.pch.pch" is not written).
bool IsListedPatchName(std::string_view name);

// The patch list file for names in their order: the line "1", then each name that IsListedPatchName
// accepts, as its bytes, every line ended by CR LF. A name holding CR or LF would make lines of its
// own: it is left out and added to skipped.
std::string PatchListBytes(const std::vector<std::string>& names, std::vector<std::string>& skipped);

}  // namespace tambrel
