#pragma once
// The shared engine: a PostgreSQL database that any number of workers and front-ends, on any machines,
// use at once. Claims lease entries with SELECT … FOR UPDATE SKIP LOCKED, so two workers never take the
// same entry and neither waits for the other; every write announces itself on a channel the front-ends
// listen on (pgSession.h). A write waits for rows another transaction holds at most the busy timeout.
#include <memory>
#include <string>

#include "service/store/poolStore.h"

// `uri` is handed to libpq as it is (PGPASSFILE and the PG* environment apply).
std::unique_ptr<PoolStore> openPostgresStore(const std::string& uri, std::string& error, StoreSettings settings);
