#pragma once
// The embedded engine: one SQLite file in WAL mode, so readers (the one-shot commands, the server's
// snapshot rebuilds) never wait on the checker's writes. A write waits for another writer once, at the
// start of its transaction (BEGIN IMMEDIATE), at most the busy timeout; nothing after that start waits.
// One writer at a time, so a claim is a single UPDATE … RETURNING in a write transaction.
#include <memory>
#include <string>

#include "service/store/poolStore.h"

// ":memory:" for a private store. A new file is made readable by its owner alone (it holds proxies'
// credentials); a file that fails SQLite's quick check is refused ("the store is damaged: …").
std::unique_ptr<PoolStore> openSqliteStore(const std::string& path, std::string& error, StoreSettings settings);
