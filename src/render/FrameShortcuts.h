#pragma once

// The frame is drawn cheaply by default: opaque objects near to far, passes
// that cannot change the picture skipped, switched-off effects compiled out of
// the shaders. Switched off, everything is drawn the plain way, in list order
// and pass by pass; the picture must be the same either way, and the tests
// compare the two. The effect reads the switch when it is (re)loaded.
void SetFrameShortcuts(bool on);
bool FrameShortcuts();

// The later shortcuts one by one, so that each can be weighed against the
// frame without it (all on by default; none applies while the frame's
// shortcuts are off).
enum class Shortcut {
    // The velocity pass draws only what moved; the composite smears the rest
    // by the camera.
    CameraSmear,
    // The composite lays the bloom and particle overlays in its own pass.
    OverlaysInComposite,
    // The scene pass lays the depth of the opaque level first, so that the
    // lit draws shade only what shows.
    DepthPrePass,
    // Characters (never shadowed) are shaded without the shadow map's taps.
    CharacterLight,
    // A lit point reads the shadow map's taps only where a caster can have
    // been drawn near it in the map.
    TapsNearCasters,
    // Casters wholly beside the shadow map are not drawn into it.
    CasterReach,
    // Screen pictures that would blend nothing in (clear where they show, or
    // off the screen) are not drawn.
    ClearGuiSkipped,
    // The whole velocity pass (the camera travelled) lays the depth of what
    // surrounds the eye (sky, sea, floor) before it smears anything.
    VelocityDepthFirst,
    // Emitters of one particle type that follow each other in the list share
    // their draws (forty particles to a draw, in the same order).
    SharedParticleDraws,
    // Particles wholly outside the view are not sent to be drawn.
    ParticlesInView,
    // Tracers are drawn only over the strip of their texture that shows.
    FittedTracers,
    // The composite lays the blood itself, reading only the layers that
    // show, so that the bloom and particle overlays stay in its pass too.
    DamageInComposite,
    // The frame is not cleared before the composite draws every pixel of it.
    FrameClearSkipped,
    // The bloom stages are summed once into a target of the first stage's
    // size, so that the composite reads two textures for them, not four.
    SummedBloom,
    // The standing systems' decals go out in shared draws, each carrying the
    // surface it lies in, and those wholly outside the view not at all.
    SharedDecalDraws,
    // A camera whose motion since the last frame cannot show on any still
    // object in view counts as still for the velocity pass.
    UnseenCameraMotion,
    // In the whole velocity pass, a still object that the camera's motion
    // moves by at most a texel is smeared from the four texels its taps
    // read between, and not at all within a 255th of a texel's worth.
    ShortSmears,
    // The passes that draw into the back buffer draw straight into the
    // window, so that presenting copies nothing.
    BackBufferInWindow,
    // A level object that a shadow may fall on reads the shadow map only
    // within the pixels where a caster can stand between it and the light;
    // elsewhere it is drawn without the map's taps.
    ShadowPixels,
    // What surrounds the eye and holds every other listed object (the sky)
    // is drawn after all of them and lays no depth first.
    EnclosingLast,
    // The composite reads the bloom stages and the particle target only over
    // the screen's tiles where they hold something, drawing the rest without.
    OverlayTiles,
    // The bloom's blurs draw only over the part of each stage that the lit
    // texels of the stage before can reach; the rest is cleared to black.
    BloomLitBoxes,
    Count
};
void SetShortcutOn(Shortcut which, bool on);
bool ShortcutOn(Shortcut which);
