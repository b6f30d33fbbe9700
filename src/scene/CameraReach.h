#pragma once

// How far the follow camera's eye keeps from the hero and how it looks for
// room round him, shared by the swing round him and the slide beside a wall.
namespace camera_reach {

// Closer than this to his chest, the eye would see his back from a hand's
// breadth: it looks for room higher up, as high as the orbit goes, and then
// round him to either side.
constexpr float kNearestEye = 120.0f;
constexpr float kChestHeight = 45.0f;
constexpr float kLiftStep = 0.2f;
constexpr int kLiftSteps = 6;
// How far past the orbit's limits the view may look while the eye makes
// room for itself.
constexpr float kPitchSlack = 0.05f;

}  // namespace camera_reach
