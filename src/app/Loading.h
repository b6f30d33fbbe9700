// Loading the game's data once at start-up, behind the loading images.
#pragma once

#include <functional>
#include <string>

// Calls every manager's set-up in the game's fixed order, showing the nine
// loading images between the steps, and starts the timing log. No step
// reports failure: a missing file shows only in the manager that reads it.
int LoadGame();
// The same, with the images handed to showImage instead of drawn.
int LoadGame(const std::function<void(const std::string&)>& showImage);

// "GUI/LOADING/" + image + ".jpg", or + "_ing.jpg" for English.
std::string LoadingImageName(const std::string& image, bool english);
