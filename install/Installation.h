#pragma once

#include "win/Registry.h"

// Started without arguments: installs the program for the current user, or,
// when an install is recorded, reinstalls or uninstalls it as the user chooses.
void ManageInstallation(Registry& registry);

// The hidden "-kill" run that ends an uninstall: waits two seconds and
// shreds the install folder, unless the program has been installed again.
void RemoveInstallation(Registry& registry);
