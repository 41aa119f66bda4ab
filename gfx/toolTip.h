#pragma once
// A common-controls tooltip window whose tools are rectangles of one owner window.
#include <windows.h>

#include "toolkit/valueModel.h"

// Copyable: it only names the window, which stays until the process ends (nothing destroys it).
class ToolTip {
 public:
  // Creates the tooltip window (always shown, balloon-shaped when asked); returns it, or null.
  HWND Create(HWND owner, bool balloon = false);
  // Adds a tool over the owner's client rectangle; the tooltip copies the text.
  bool AddTool(const RECT& rectangle, const Text& text, UINT_PTR toolId);
  void SetToolRect(UINT_PTR toolId, const RECT& rectangle);
  void UpdateToolText(UINT_PTR toolId, const Text& text);

  HWND window() const { return window_; }
  HWND owner() const { return owner_; }

 private:
  HWND window_ = nullptr;
  HWND owner_ = nullptr;
};
