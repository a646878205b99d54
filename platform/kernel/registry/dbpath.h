// Where the current user's registry database lives.
#pragma once
#include <string>

namespace twk::reg {

// $TARNWICK_REGISTRY, else $XDG_CONFIG_HOME/tarnwick/registry.db, else
// ~/.config/tarnwick/registry.db; empty when no home directory is known.
std::string RegistryDatabasePath();

} // namespace twk::reg
