#pragma once
// The main window: its definition and the names by which the handlers address its controls.
#include "app/extractQuery.h"
#include "toolkit/form.h"

namespace control {
inline constexpr char kSaveButton[] = "按钮2";
inline constexpr char kProxyList[] = "编辑框1";
inline constexpr char kRegion[] = "编辑框_DQ";
inline constexpr char kExtractButton[] = "按钮1";
inline constexpr char kCarrier[] = "组合框1";
inline constexpr char kQuantity[] = "编辑框_SL";
inline constexpr char kLeadingPart[] = "编辑框_KT";
inline constexpr char kPort[] = "编辑框_DK";
}  // namespace control

inline constexpr char kMainWindowCaption[] = "Quorvelip提取系统 V2.6";

const WindowDefinition& mainWindowDefinition();

// The one main window of the program, created by start-up.
Form& mainForm();
