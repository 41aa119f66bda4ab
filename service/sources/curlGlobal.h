#pragma once
// libcurl's global set-up, done once for the process before the first transfer, whichever of the
// checker's threads or an import gets there first (curl_global_init itself is not thread-safe).
// Throws std::runtime_error when libcurl cannot start.
void initCurlOnce();
