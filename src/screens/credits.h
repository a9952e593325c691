// The scrolling credits.
#pragma once

// Runs the whole credits sequence; returns when the last frame has been shown.
void run_credits();

// One credits frame with the scroll position at `position` (540 in the
// first frame, 2 less in each following one).
void draw_credits_frame(int position);
