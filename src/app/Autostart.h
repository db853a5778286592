// The login entry that starts this Kelvo in the tray: the desktop's
// autostart folder (XDG_CONFIG_HOME/autostart) gets a kelvo.desktop.
#pragma once

#include <filesystem>
#include <string>

namespace kelvo {

// $XDG_CONFIG_HOME/autostart/kelvo.desktop, or ~/.config/autostart/... when
// XDG_CONFIG_HOME is unset or not absolute; empty when neither is known.
std::filesystem::path AutostartFile();

// `program` and its arguments as one Exec value of a desktop entry, quoted
// and escaped as the desktop entry format asks.
std::string ExecValue(const std::string& program, const std::string& arguments);

// Writes the entry for `program` with /tray, replacing any earlier one
// whole. Both return "" on success, else what went wrong.
std::string WriteAutostart(const std::filesystem::path& program);
std::string RemoveAutostart();

}  // namespace kelvo
