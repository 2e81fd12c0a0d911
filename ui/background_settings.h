#pragma once
// What the background window shows, and where those settings come from: the
// setup script in the installer, the product's uninstall entry and its
// uninstall folder in the uninstaller.
#include <windows.h>

#include <cstdint>

#include "core/ts_registry.h"
#include "core/ts_text.h"
#include "format/setup_script.h"
#include "ui/bitmap_file.h"

namespace palisade {

inline constexpr int32_t kOpaquePicture = -1;  // `BitmapTPI` when no palette entry is transparent

struct ProductIcons {
  HICON small = nullptr;
  HICON big = nullptr;
};

// The record starts with the values a run has before its script or its
// uninstall entry is read.
struct BackgroundSettings {
  ts::WText title;  // `DisplayTitle`, or message 0 when the script gives none
  // Message 0 of the chosen language is the title, read again when the
  // language changes.
  bool titleFollowsLanguage = false;
  double titleSize = 1.0;
  COLORREF titleColor = 0xFFFEF7;
  int titleShadow = 1;
  int titlePosition = 0;
  ts::WText titleFont = L"Cambria Bold Italic, Times New Roman Bold Italic";
  COLORREF topColor = 0xFFFFFFFF;
  COLORREF bottomColor = 0xFFFFFFFF;
  bool monoColor = true;
  bool fullScreen = true;  // the whole screen rather than the work area
  ts::WText taskbarText;
  ts::WText copyrightText;
  ts::WText copyrightFont = L"Calibri Bold Italic, Verdana Bold Italic, Arial Bold Italic";
  double copyrightSize = 1.0;
  COLORREF copyrightColor = 0xFEFCEC;
  int copyrightPosition = 0;
  DibBytes picture;  // without the bitmap file header; empty: none
  int32_t bitmapTpi = kOpaquePicture;
  int32_t stretchMode = 2;
  int32_t bitmapSize = 0;  // per cent of the client area; 0 or less: no picture
  ProductIcons icons;
};

// The installer's settings from its script; `languageTitle` is message 0 of
// the language chosen so far.
BackgroundSettings BackgroundSettingsFromScript(const format::SetupScript& script, const ts::WText& languageTitle);

// The uninstaller's settings from the product's uninstall entry, with the
// defaults of an entry that lacks a value. With the product flag that keeps
// the picture for the uninstaller, the picture comes from "Installer
// Background.bmp" in the uninstall folder; "uninstall.ico" there, when it
// exists, gives the icons.
BackgroundSettings BackgroundSettingsFromUninstallKey(const ts::RegistryKey& key, uint32_t productFlagsLow,
                                                      uint32_t productFlagsHigh, const ts::WText& uninstallFolder);

// The small and big icon, in the system's sizes, of an .ico file or of the
// module's first icon resource; none when there is no such icon.
ProductIcons IconsFromFile(const ts::WText& path);
ProductIcons IconsFromResources(HINSTANCE module);

}  // namespace palisade
