#pragma once
// Where the program lives and the files it keeps beside itself. Set once by SupportStartup before any
// window or thread exists, read-only afterwards.

#include <string>

namespace tambrel {

// Runs the start-up of the support routines: computes the paths from the program file (the running
// executable when programFile is empty), creates the debug file empty, takes the start tick and writes
// the start-up line. Throws EInOutError when the debug file cannot be created.
void SupportStartup(const std::string& programFile = {});

// Only the paths of SupportStartup, for a tool that runs beside the window: the window's debug file
// is left as it is.
void SetProgramPaths(const std::string& programFile = {});

// The program's directory with its trailing '/'.
const std::string& AppPath();

// The folder of the files the program writes (settings, debug file, tree dump, terminal log), with its
// trailing '/': AppPath when the program may write there, else $XDG_CONFIG_HOME/tambrel/ (by default
// ~/.config/tambrel/), created when missing.
const std::string& WritablePath();

// WritablePath + program file name up to its first dot + ".INI".
const std::string& IniFileName();

// WritablePath + "debug.txt".
const std::string& DebugFileName();

// The writable folder for a program folder: the folder itself when it is writable, else the user's
// configuration folder for Tambrel (created when missing; the program folder when that fails too).
std::string WritableFolderFor(const std::string& appPath);

// The settings file name for a program file name (directory part ignored): up to the first dot, + ".INI".
std::string IniNameFor(const std::string& programFileName);

// The text after the last '/' of a path ('\' and ':' are ordinary characters of Linux file names).
std::string FileNameOnly(const std::string& path);

// The directory part of a path up to and including its last '/'; empty when there is none.
std::string DirectoryOf(const std::string& path);

// dir with one trailing '/'; an empty dir stays empty.
std::string WithTrailingSlash(const std::string& dir);

// The full path of the running executable.
std::string RunningProgramFile();

}  // namespace tambrel
