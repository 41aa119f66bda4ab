#pragma once
// The "提取" click: fetches the proxy list from the extraction service into the list box.
void extractHandler();
