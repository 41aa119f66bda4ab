#pragma once
// quorvelip-service check: one round over every entry of the store, each outcome printed as soon as
// it is committed ("1.2.3.4:8080 alive 312 ms", "5.6.7.8:3128 refused"), then a summary.
#include <cstdio>

#include "service/check/checker.h"
#include "service/store/poolStore.h"

int runCheck(PoolStore& store, const CheckSettings& settings, std::FILE* out);
