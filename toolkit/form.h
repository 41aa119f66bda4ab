#pragma once
// A window created from its definition: the window unit first, then its controls, each with a
// name by which handlers address it, and the event bindings (creation and clicks).
#include <windows.h>

#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

enum class ControlKind { EditBox, Button, ComboBox, TransparentLabel };

struct ControlDefinition {
  const char* name;
  ControlKind kind;
  int left, top, width, height;  // client coordinates of the window
  const char* text;
  DWORD style;  // added to the kind's base style (child, visible)
  DWORD exStyle;
  std::vector<const char*> items;  // combo box items, in order
};

struct WindowDefinition {
  const char* caption;
  int width, height;
  DWORD style;
  DWORD exStyle;
  COLORREF labelColour;  // caption colour of the window's transparent labels
  std::vector<ControlDefinition> controls;
};

using Handler = std::function<void()>;

class Form {
 public:
  Form() = default;
  Form(const Form&) = delete;
  Form& operator=(const Form&) = delete;
  ~Form();

  // Event bindings; set before create().
  void onCreated(Handler handler) { created_ = std::move(handler); }
  void onClick(const std::string& controlName, Handler handler) { clicks_[controlName] = std::move(handler); }

  // Creates the window centred on the screen and its controls, raises the creation event, then
  // shows the window. Returns false when the window cannot be created.
  bool create(const WindowDefinition& definition, HICON icon);

  HWND window() const { return window_; }
  // The control's window by its name, or null.
  HWND control(const std::string& name) const;

 private:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  HWND createControl(const ControlDefinition& control, int id);

  HWND window_ = nullptr;
  // Set once the window and all its controls exist: only then does its end end the program.
  bool complete_ = false;
  Handler created_;
  std::map<std::string, Handler> clicks_;
  std::map<std::string, HWND> controls_;
  std::map<int, std::string> namesById_;
};
