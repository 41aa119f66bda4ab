#pragma once
// Watches this process for a message box from another thread while the test thread runs code
// that may show one; records what it showed and closes it.
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>

class BoxWatcher {
 public:
  BoxWatcher();
  ~BoxWatcher();
  BoxWatcher(const BoxWatcher&) = delete;
  BoxWatcher& operator=(const BoxWatcher&) = delete;

  // Stops watching; after this the fields below are final.
  void stop();

  int boxesSeen() const { return boxes_; }
  const std::string& caption() const { return caption_; }
  const std::string& text() const { return text_; }
  bool hadOwner() const { return hadOwner_; }
  // The icon the box showed (null without one).
  HICON icon() const { return icon_; }
  // Whether every other visible top-level window of the box's thread was disabled while it
  // showed, as a task-modal box without owner does.
  bool disabledItsThread() const { return disabledItsThread_; }

 private:
  void watch();

  std::atomic<bool> stopping_{false};
  std::atomic<int> boxes_{0};
  std::string caption_;
  std::string text_;
  bool hadOwner_ = false;
  HICON icon_ = nullptr;
  bool disabledItsThread_ = false;
  std::thread thread_;
};
