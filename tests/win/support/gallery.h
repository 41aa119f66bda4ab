#pragma once
// The gallery: a test window holding one control of every family the skin takes over beyond the
// main window's own (containers, transparent controls, list-like controls, track bars, progress
// bars, up-down controls, headers), skinned through the same skin entry as the main window.
#include <gtest/gtest.h>
#include <windows.h>

#include <utility>

#include "skin/core/windowRecord.h"

struct Gallery {
  HWND window = nullptr;
  HWND groupBox = nullptr;  // BS_CENTER, holding an edit box, a check box and a radio button
  HWND groupEdit = nullptr;
  HWND groupCheck = nullptr;
  HWND groupRadio = nullptr;
  HWND tab = nullptr;  // holding a drop-down combo box
  HWND tabCombo = nullptr;
  HWND label = nullptr;
  HWND pictureBox = nullptr;  // a bitmap whose left half is the face colour, holding a push button
  HWND pictureButton = nullptr;
  HWND listBox = nullptr;
  HWND ownerDrawnList = nullptr;  // items painted in kOwnerDrawnItemColour by the gallery
  HWND listView = nullptr;        // report view, so it has a header
  HWND treeView = nullptr;
  HWND trackBar = nullptr;  // horizontal, 0..100
  HWND verticalTrackBar = nullptr;
  HWND progressBar = nullptr;  // 0..100
  HWND upDown = nullptr;       // vertical
  HWND horizontalUpDown = nullptr;
  HWND header = nullptr;
};

inline constexpr COLORREF kOwnerDrawnItemColour = RGB(255, 236, 179);
inline constexpr int kGalleryTranslucency = 50;

// Starts the engine and GDI+ as start-up does, then creates, skins and shows the gallery; once
// per process.
const Gallery& gallery();
int galleryRecordIndex();
WindowRecord& galleryRecord();

// The pixels of a window (the whole window rectangle) as they are on screen now.
class Capture {
 public:
  explicit Capture(HWND window);
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;
  ~Capture();
  // (x, y) in the window's own window coordinates.
  COLORREF at(int x, int y) const;
  int width() const { return width_; }
  int height() const { return height_; }

 private:
  HDC dc_ = nullptr;
  HBITMAP bitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// While it lives, the gallery's skin background is one flat colour, so that painted pixels can be
// predicted; the picture comes back when it ends.
class FlatBackground {
 public:
  explicit FlatBackground(COLORREF colour);
  FlatBackground(const FlatBackground&) = delete;
  FlatBackground& operator=(const FlatBackground&) = delete;
  ~FlatBackground();

 private:
  HDC saved_ = nullptr;
  HBITMAP savedBitmap_ = nullptr;
  HGDIOBJ previous_ = nullptr;
  int width_ = 0;
  int height_ = 0;
};

// The colour the skin shows behind an edit-like control over a background colour: white at the
// gallery's translucency laid over it.
COLORREF whitened(COLORREF background);
// Paints every window of the gallery now (repaintNow), then lets what that queued run.
void repaintGallery();
// Per channel at most tolerance apart.
bool coloursNear(COLORREF actual, COLORREF expected, int tolerance = 6);

// An engine setting changed for the length of a scope.
class ScopedSetting {
 public:
  ScopedSetting(int& setting, int value) : setting_(setting), saved_(std::exchange(setting, value)) {}
  ScopedSetting(const ScopedSetting&) = delete;
  ScopedSetting& operator=(const ScopedSetting&) = delete;
  ~ScopedSetting() { setting_ = saved_; }

 private:
  int& setting_;
  int saved_;
};

class GalleryTest : public testing::Test {
 protected:
  static void SetUpTestSuite() { gallery(); }
  static const Gallery& g() { return gallery(); }
};
