// Addresses that arrive from the network are handed to the shell only when they are web
// addresses: http or https, a host, and nothing that could end or bend a command line.
#pragma once
#include <string_view>

bool IsWebAddress(std::wstring_view link);
