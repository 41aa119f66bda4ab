#pragma once
// Reading back what the program left in a folder: a file's bytes and the names a folder lists.
#include <set>
#include <string>

std::string fileBytes(const std::string& name);
// Every name in the folder but "." and "..".
std::set<std::string> folderEntries(const std::string& folder = ".");
