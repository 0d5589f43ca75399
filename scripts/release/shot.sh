# The screenshot's moment, for release.sh (sourced): which frame of the show
# at 60 fps is on screen then, and the capture span that writes exactly it.

# show_end_time ROOT: the music time at which the show ends, as the show's
# clock defines it, so a bad moment is refused before anything is built.
show_end_time() {
  sed -n 's/^constexpr double kShowEndTime = \([0-9.]*\);.*/\1/p' -- "$1/src/app/MusicClock.h"
}

# shot_frame SECONDS END: the frame on screen at that music time, the one
# whose time k / 60 is the last at or before it; fails for a moment outside
# [0, END). The small allowance keeps 0.15 s on frame 9, not 8.99999.
shot_frame() {
  awk -v s="$1" -v end="$2" 'BEGIN { if (s < 0 || s >= end) exit 1; print int(s * 60 + 1e-6) }'
}

# shot_span FRAME END: --from and --to values whose span holds that frame
# alone; half a frame either side, but never past the show's end, where the
# capture refuses a span (the last frame lasts only until END).
shot_span() {
  awk -v k="$1" -v end="$2" 'BEGIN {
    from = k > 0 ? (k - 0.5) / 60 : 0
    to = (k + 0.5) / 60
    printf "%.6f %s\n", from, to < end ? sprintf("%.6f", to) : end
  }'
}
