// The timeline as a file, in the sync editor's XML project format:
//
//   <?xml version="1.0" encoding="utf-8"?>
//   <sync rows="N">
//     <tracks>
//       <track name="PARAMETER"><key row="R" value="V" interpolation="I"/>...</track>
//       ...
//     </tracks>
//   </sync>
//
// One track per name of a given list (the show's parameters), named exactly
// so. A key's row is its tick; its interpolation is the editor's number
// (0 step, 1 linear, 2 smooth, 3 ramp), which is also our InterpolationMode
// (Quadratic is the editor's ramp). The editor's <bookmarks> are accepted
// and dropped. Names and numbers are taken literally: the file uses no XML
// character or entity references, and the writer refuses names that would
// need them.
//
// Used by the build's table generator and by the native program at run time,
// so nothing here throws or prints: faults come back as one line,
// "FILE:LINE: what is wrong".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "anim/TrackSet.h"

struct TrackNames {
    const char* const* names;  // track i is names[i]
    uint32_t count;
};

// Reads timeline text (`fileName` only labels the error). On success `set`
// holds exactly names.count tracks, in the list's order whatever the file's
// order, with empty labels and the file's keys; its tempo is kept; `rows` is
// the file's row count. On a fault nothing is changed, `error` holds the
// line and the result is false.
bool parseTimeline(const char* text, size_t size, const char* fileName, TrackNames names, TrackSet& set,
                   uint32_t& rows, std::string& error);

// The same, from a file on disk.
bool readTimelineFile(const char* path, TrackNames names, TrackSet& set, uint32_t& rows, std::string& error);

// The file's text for `set`: tracks in index order named from the list,
// values in the shortest form that reads back to the same float, so that
// text read and written again is unchanged byte for byte. Modes the show
// treats as Step (5 and up) are written as step. Faults, which leave `out`
// as it was: Quartic (no number in the format), a value that is not finite,
// rows out of order or past `rows`, a track count other than the list's, a
// name holding & < > or ".
bool formatTimeline(const TrackSet& set, uint32_t rows, TrackNames names, std::string& out, std::string& error);

// Writes formatTimeline's text to `path` through a temporary file beside it
// and a rename, so a reader never sees half a file.
bool writeTimelineFile(const char* path, const TrackSet& set, uint32_t rows, TrackNames names, std::string& error);
