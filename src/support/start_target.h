#pragma once
// Hands a mail or web address to the desktop, which opens it in its default application.

#include <functional>
#include <string>

namespace tambrel {

using TargetOpener = std::function<void(const std::string& target)>;

// Replaces the opener; the window binds the desktop's (Qt) opener here. An empty opener restores the
// default, which runs xdg-open without waiting for it.
void SetTargetOpener(TargetOpener opener);

// Opens target with the current opener. Failures are not reported.
void StartTarget(const std::string& target);

}  // namespace tambrel
