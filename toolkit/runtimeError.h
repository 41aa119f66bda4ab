#pragma once
// Fatal runtime errors: a box with the error's number and message, then the process ends
// with exit code -1 without running the shut-down routine.
#include <string>
#include <string_view>

inline constexpr int kErrorIndexOutOfRange = 1;
inline constexpr int kErrorIndexBelowOne = 4;
inline constexpr int kErrorStackUnbalanced = 6;
inline constexpr int kNoErrorNumber = 0;

inline constexpr const char* kMessageIndexOutOfRange = "数组成员引用下标超出定义范围";
inline constexpr const char* kMessageIndexBelowOne = "数组成员引用下标必须大于等于1";
inline constexpr const char* kMessageStackUnbalanced = "调用DLL命令后发现堆栈错误";
inline constexpr const char* kMessageStartWindowFailed = "载入启动窗口失败";
inline constexpr const char* kRuntimeErrorCaption = "错误";

// The box text: the heading, then the number and the message when the error has them.
std::string runtimeErrorText(int number, std::string_view message);

// Shows the error box (Windows) or prints the text (host), then ends the process with -1.
[[noreturn]] void raiseRuntimeError(int number, std::string_view message);
