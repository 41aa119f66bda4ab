#pragma once
// Reaching the Unix side from a test under Wine: commands, and the Unix name of a Windows path.
#include <windows.h>

#include <functional>
#include <string>

bool underWine();

// Runs a Unix command from this Windows process (Wine starts Unix executables) and waits, at most
// timeoutMs, until `done` holds, since Wine gives no usable handle to wait on. Whether it held.
bool runUnixCommand(const char* program, std::string command, const std::function<bool()>& done,
                    DWORD timeoutMs = 5000);

// The Unix path of a Windows path ("" when not under Wine).
std::string unixPathOf(const std::wstring& windowsPath);
