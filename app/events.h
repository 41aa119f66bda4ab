#pragma once
#include "toolkit/form.h"

// Binds the main window's three events: creation (the skin set-up), "提取" and "保存".
void wireEvents(Form& form);
