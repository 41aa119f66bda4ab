#pragma once
// The store's layout, the same on every engine: one table of entries and a version number that moves
// forward by the steps below, each run once, in order, in one transaction with the new number. Step N
// takes a store of version N to N + 1. A store made by the first service has the first table and no
// version row: version 1. Each engine writes its own first table (its own id and integer types); every
// step after it is one text both engines run.
#include <cstdint>
#include <iterator>
#include <string>

// Plain SQL both engines accept: one column per ALTER, BIGINT for times (an INTEGER on SQLite).
inline constexpr const char* kLayoutSteps[] = {
    // 1 → 2: how an entry is reached (scheme, credentials), the protocols it works as, its anonymity
    // grade and its exit. The first checker checked plain HTTP only: a live entry is an HTTP proxy.
    "ALTER TABLE proxies ADD COLUMN scheme INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN username TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN password TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN protocols INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN failed_protocols INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN probed_at BIGINT NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN anonymity INTEGER NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN exit_address TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_province TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_city TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN exit_carrier TEXT NOT NULL DEFAULT '';"
    "UPDATE proxies SET protocols = 1 WHERE last_checked > 0 AND failures = 0;",
    // 2 → 3: shared checking. A worker leases the entries it checks (its name, and until when in the
    // store's own milliseconds); `checks` counts the outcomes ever written for the entry.
    "ALTER TABLE proxies ADD COLUMN lease_owner TEXT NOT NULL DEFAULT '';"
    "ALTER TABLE proxies ADD COLUMN lease_until BIGINT NOT NULL DEFAULT 0;"
    "ALTER TABLE proxies ADD COLUMN checks BIGINT NOT NULL DEFAULT 0;"
    "CREATE INDEX proxies_leased ON proxies (lease_owner) WHERE lease_owner <> '';",
};
inline constexpr std::int64_t kStoreLayoutVersion = 1 + static_cast<std::int64_t>(std::size(kLayoutSteps));

// The refusal for a store from a newer service; it is never written in a layout this one does not know.
std::string newerLayoutMessage(std::int64_t version);
