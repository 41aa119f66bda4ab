#pragma once
// Starts the program's modules and creates the real main window once for a test program.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "app/mainWindow.h"

class MainWindowTest : public testing::Test {
 protected:
  static void SetUpTestSuite();
  static HWND window() { return mainForm().window(); }
  static HWND control(const std::string& name) { return mainForm().control(name); }
};
