#pragma once
// Asks a window "are you there?" (WM_NULL through SendMessageTimeout) from a thread of its own,
// over and over, and records how long the window went without answering.
#include <windows.h>

#include <atomic>
#include <thread>

class ResponsivenessProbe {
 public:
  explicit ResponsivenessProbe(HWND window);
  ~ResponsivenessProbe();
  ResponsivenessProbe(const ResponsivenessProbe&) = delete;
  ResponsivenessProbe& operator=(const ResponsivenessProbe&) = delete;

  // Stops asking; the figures below are final after it.
  void stop();
  int answers() const { return answers_; }
  // The longest stretch, in ms, from the start or one answer to the next answer (or to stop()).
  ULONGLONG longestSilenceMs() const { return longestSilence_; }
  // Tick (GetTickCount64) of the last answer; 0 when none came.
  ULONGLONG lastAnswerAt() const { return lastAnswer_; }

 private:
  void ask();

  HWND window_;
  std::atomic<bool> stopping_{false};
  std::atomic<int> answers_{0};
  std::atomic<ULONGLONG> longestSilence_{0};
  std::atomic<ULONGLONG> lastAnswer_{0};
  ULONGLONG started_;
  std::thread thread_;
};
