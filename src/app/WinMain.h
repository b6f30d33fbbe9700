#pragma once

// The game's entry: start-up, the loops and shutdown. Returns the process's exit code.
int VantorelMain();
