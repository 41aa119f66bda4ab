#pragma once
// A generated list of distinct proxies at public-looking addresses, the same at every run: what the
// import and snapshot benchmarks fill stores with. Every address is in a first octet wholly global (no
// private, shared, loopback, link-local, documentation, benchmarking, multicast or reserved block), so the
// address policy takes every line and the region database finds most of them; nothing is ever contacted.
// Every third entry is on port 18186, and about one in twenty starts with "11", as the program's default
// query asks.
#include <cstddef>
#include <string>

// The i-th entry as "a.b.c.d:port"; distinct for every i below 215 × 2^24.
std::string generatedProxy(std::size_t i);

// The first `count` entries, one per line.
std::string generatedList(std::size_t count);
