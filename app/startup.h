#pragma once
// Start-up and shut-down of the program, in their documented order.

// Steps up to the main window: GDI+, the application icon, the engine settings.
void initialiseModules();

// Binds the main window's three events and creates it from its definition; raises the fatal
// "载入启动窗口失败" error when it cannot be created.
void createMainWindow();

// The whole program: start-up, message loop, shut-down. Returns the process exit code.
int runProgram();

// Runs once when the program ends normally: destroys the skin engine with its records and
// tables, then shuts GDI+ down. The application icon is shared (LoadIconA) and is not destroyed.
void shutDown();
