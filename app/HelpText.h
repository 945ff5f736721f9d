#pragma once
// The help text of the About dialog, one element a line.

#include <span>
#include <string_view>

std::span<const std::string_view> HelpLines();
