#pragma once
// The frame of every page: a dialog from the engine's templates that is set
// up, decorated by its style and handled in one way for all pages. A page
// gives its template, style, title, texts and the messages it handles
// itself; the rest is common:
//  - on opening: the Close command enabled, the product's icons when the
//    script asks, centred on the main window, the page's texts, the button
//    images and buttons fitted to their captions, then the decoration (the
//    side picture, or the banner with the installer caption and the title);
//  - Next and Cancel (1001, 1003) end a modal page with their identifier;
//    Escape and the close box end nothing;
//  - texts over the white panel and the banner lines are drawn transparent.
#include <windows.h>

#include <functional>

#include "core/ts_text.h"

namespace palisade {

struct Page {
  ts::WText templateName;
  uint32_t style = 0;
  bool decorated = true;  // the single templates have no style and no pictures
  ts::WText title;        // the window caption; in the banner style, banner line 2
  // The window caption in the banner style.
  ts::WText bannerWindowCaption;
  // Sets the page's texts and contents while it opens.
  std::function<void(HWND page)> setUp;
  // Messages the page answers itself: true when it did, with the dialog
  // procedure's result in `result`.
  std::function<bool(HWND page, UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)> handle;
  // Places the page; centred on the main window unless the page says.
  std::function<void(HWND page)> place;
};

// Runs the page modally, owned by `owner` (the background window when
// null); the identifier that ended it, -1 when it could not be shown.
INT_PTR RunPage(Page& page, HWND owner = nullptr);
// Opens the page modeless; the window, or null. `page` must outlive it.
HWND OpenPage(Page& page, HWND owner = nullptr);

// The installer's caption on banner pages: message 114 of the current
// language, else the script's product heading.
ts::WText InstallerCaption();

void SetControlText(HWND page, int control, const ts::WText& text);
ts::WText ControlText(HWND page, int control);

// Sets a text that is drawn transparent and repaints what lies under it,
// so that no trace of the old text stays.
void SetTransparentText(HWND page, int control, const ts::WText& text);

// The page's decoration again, after its title changed (the language page
// relabels itself).
void Redecorate(HWND page);

}  // namespace palisade
