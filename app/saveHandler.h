#pragma once
// The "保存" click: writes the proxy list box to ip.txt in the current folder and confirms.
void saveHandler();
