#pragma once

// Durations of the kit's animations, in milliseconds. Production values are
// the defaults; tests may shorten them.
struct QVKitTimings {
    // One full turn of a rotating button's image per click.
    int rotatingButtonTurnMs = 1000;
    // One turn of the loading spinner; it repeats without end.
    int loadingSpinnerTurnMs = 1000;
};
