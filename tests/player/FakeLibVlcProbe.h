#pragma once

#include <string>
#include <vector>

// The test side of the fake media library (FakeLibVlc.cpp).

// The folder that holds the libvlc.so.5 of a variant: "full" exports every entry; "no_<name>"
// lacks the export <name>.
std::string FakeLibVlcFolder(const std::string& variant);

// What the loaded fake's last libvlc_new was given, and how often it was called.
std::vector<std::string> FakeLibVlcArguments();
int FakeLibVlcNewCalls();
