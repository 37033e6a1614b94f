// Reading the settings file at start-up and writing it at close.
#include <algorithm>
#include <exception>

#include "app/settings_file.h"
#include "app/tambrel_controller.h"
#include "support/text_format.h"

namespace tambrel {

namespace {

constexpr const char* Settings = "Settings";
constexpr const char* Position = "Position";
constexpr const char* Debug = "Debug";

std::string Numbered(const char* key, int n) {
  return StrFormat("%s%d", key, n);
}

}  // namespace

void TTambrelController::ReadSettings() {
  const TIniLoad load = LoadIniFile(Parts.IniFileName);
  if (load.Status == TIniLoad::TStatus::Unreadable) {
    // It holds what the user chose (the inactive outputs' devices too): left for the user to mend.
    SettingsUnreadable = true;
    Sink.WriteMessageFmt("Settings file \"%s\" not read (%s): the defaults are used, and the file is kept",
                         Parts.IniFileName.c_str(), load.Problem.c_str());
  }
  const TIniFile& ini = load.File;
  SetRepeat(ini.ReadBool(Settings, "DoRepeat", FDoRepeat));
  SetRemoveOldOnLoad(ini.ReadBool(Settings, "RemoveOldOnLoad", FRemoveOldOnLoad));
  SetRemoveOnFinish(ini.ReadBool(Settings, "RemoveOnFinish", FRemoveOnFinish));
  SetAutoEdit(ini.ReadBool(Settings, "AutoEdit", FAutoEdit));
  ApplyBounds(ini);
  SetParserDebug(ini.ReadBool(Debug, "LexYacc", FParserDebug));
  SetCompilerDebug(ini.ReadBool(Debug, "Compiler", FCompilerDebug));
  SetTraceMode(ini.ReadBool(Debug, "Trace", FTraceMode));
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    SelectOutput(n, ini.ReadString(Settings, Numbered("MidiOutSelection", n), FRouting.Slot(n).DeviceName));
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    SetOutputActive(n, ini.ReadBool(Settings, Numbered("MidiActive", n), FRouting.Slot(n).Active));
  SetSlidesActive(ini.ReadBool(Settings, "SlidesActive", FRouting.SlidesActive()));
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    SetHandlesDevice(n,
                     ini.ReadInteger(Settings, Numbered("MidiOutMapDev", n), FRouting.Slot(n).HandlesDevice));
  SetSlidesDevice(ini.ReadInteger(Settings, "SlidesMapDev", FRouting.SlidesDevice()));
  SetProjectRoot(ini.ReadString(Settings, "ProjectRoot", FProjectRoot));
  SetPictureRootSetting(ini.ReadString(Settings, "PictureRoot", FPictureRoot));
  FLastFile = ini.ReadString(Settings, "LastFile", FLastFile);
  SetAutoPlay(ini.ReadBool(Settings, "AutoPlay", FAutoPlay));
  SetAutoReload(ini.ReadBool(Settings, "AutoReload", FAutoReload));
}

void TTambrelController::ApplyBounds(const TIniFile& ini) {
  TRect bounds{ini.ReadInteger(Position, "Left", DesignBounds.Left),
               ini.ReadInteger(Position, "Top", DesignBounds.Top),
               ini.ReadInteger(Position, "Width", DesignBounds.Width),
               ini.ReadInteger(Position, "Height", DesignBounds.Height)};
  const TRect screen = Parts.Screens->ScreenAt(bounds.Left, bounds.Top);
  // Never smaller than the design size, never larger than the screen that shows it.
  bounds.Width = std::clamp(bounds.Width, DesignBounds.Width, std::max(DesignBounds.Width, screen.Width));
  bounds.Height =
      std::clamp(bounds.Height, DesignBounds.Height, std::max(DesignBounds.Height, screen.Height));
  const auto beyond = [](int32_t start, int32_t size, int32_t areaStart, int32_t areaSize) {
    return start < areaStart || int64_t{start} + size > int64_t{areaStart} + areaSize;
  };
  if (beyond(bounds.Left, bounds.Width, screen.Left, screen.Width)) bounds.Left = screen.Left;
  if (beyond(bounds.Top, bounds.Height, screen.Top, screen.Height)) bounds.Top = screen.Top;
  View.SetWindowBounds(bounds);
}

void TTambrelController::WriteSettings() {
  if (SettingsUnreadable) {
    View.ShowError(StrFormat("The settings were not saved: \"%s\" could not be read at start and is kept",
                             Parts.IniFileName.c_str()));
    return;
  }
  TIniLoad load = LoadIniFile(Parts.IniFileName);
  if (load.Status == TIniLoad::TStatus::Unreadable) {
    View.ShowError(StrFormat("The settings were not saved: \"%s\" cannot be read (%s) and is kept",
                             Parts.IniFileName.c_str(), load.Problem.c_str()));
    return;
  }
  TIniFile& ini = load.File;
  std::vector<std::string> skipped;
  // A line break would end the line early and make the rest a line of its own.
  const auto writeText = [&](const char* section, const std::string& key, const std::string& value) {
    if (value.find_first_of("\r\n") != std::string::npos) {
      skipped.push_back(key);
      return;
    }
    ini.WriteString(section, key, value);
  };
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    if (FRouting.Slot(n).Active)
      writeText(Settings, Numbered("MidiOutSelection", n), FRouting.Slot(n).DeviceName);
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    ini.WriteBool(Settings, Numbered("MidiActive", n), FRouting.Slot(n).Active);
  ini.WriteBool(Settings, "SlidesActive", FRouting.SlidesActive());
  for (int n = 1; n <= TOutputRouting::OutputCount; ++n)
    ini.WriteInteger(Settings, Numbered("MidiOutMapDev", n), FRouting.Slot(n).HandlesDevice);
  ini.WriteInteger(Settings, "SlidesMapDev", FRouting.SlidesDevice());
  ini.WriteBool(Settings, "DoRepeat", FDoRepeat);
  ini.WriteBool(Settings, "RemoveOldOnLoad", FRemoveOldOnLoad);
  ini.WriteBool(Settings, "RemoveOnFinish", FRemoveOnFinish);
  ini.WriteBool(Settings, "AutoEdit", FAutoEdit);
  writeText(Settings, "ProjectRoot", FProjectRoot);
  writeText(Settings, "PictureRoot", FPictureRoot);
  writeText(Settings, "LastFile", FLastFile);
  ini.WriteBool(Settings, "AutoPlay", FAutoPlay);
  ini.WriteBool(Settings, "AutoReload", FAutoReload);
  const TRect bounds = View.WindowBounds();
  ini.WriteInteger(Position, "Left", bounds.Left);
  ini.WriteInteger(Position, "Top", bounds.Top);
  ini.WriteInteger(Position, "Width", bounds.Width);
  ini.WriteInteger(Position, "Height", bounds.Height);
  ini.WriteBool(Debug, "LexYacc", FParserDebug);
  ini.WriteBool(Debug, "Compiler", FCompilerDebug);
  ini.WriteBool(Debug, "Trace", FTraceMode);
  try {
    SaveIniFile(Parts.IniFileName, ini);
  } catch (const std::exception& error) {
    View.ShowError(StrFormat("The settings were not saved: %s", error.what()));
    return;
  }
  if (!skipped.empty()) {
    std::string keys;
    for (const std::string& key : skipped) keys += (keys.empty() ? "" : ", ") + key;
    View.ShowError("Not saved, because the value holds a line break: " + keys);
  }
}

}  // namespace tambrel
