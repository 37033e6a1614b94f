#pragma once
// The pictures of a picture root: the plain names of the files directly in the folder whose extension
// is one of the supported picture types, sorted by name without regard to ASCII letter case (names
// equal that way in byte order). Hidden files (names starting with '.') and folders are left out.

#include <string>
#include <vector>

namespace tambrel {

// extensions without the dot ("jpg", "png"), in any letter case. A folder that cannot be read lists nothing.
std::vector<std::string> ListPictureFiles(const std::string& dir, const std::vector<std::string>& extensions);

// The extensions the picture reader is known to handle when the caller has no list of its own.
const std::vector<std::string>& DefaultPictureExtensions();

// a before b in picture order.
bool PictureNameLess(const std::string& a, const std::string& b);

}  // namespace tambrel
