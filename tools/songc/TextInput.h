// Line-oriented text input shared by the instrument and score readers:
// comments start with a '#' that begins a token (C#5 is a note), tokens are separated by blanks, "quoted text"
// is one token. Errors name the file and the line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SourceLine {
  int number = 0;                    // 1-based line number in the file
  std::string text;                  // the line without its comment
  std::vector<std::string> tokens;   // blank-separated, quotes removed
};

struct SourceFile {
  std::string path;
  std::vector<SourceLine> lines;     // only lines that hold tokens
};

// Reads and tokenizes a whole file. On failure returns false and sets error.
bool readSourceFile(const std::string& path, SourceFile& out, std::string& error);

// Tokenizes text already in memory (used by the readers' tests).
bool splitSourceText(const std::string& path, const std::string& text, SourceFile& out,
                     std::string& error);

// "path:line: message"
std::string sourceError(const SourceFile& file, int line, const std::string& message);

// Strict number parsing: the whole token must be consumed.
bool parseInteger(const std::string& token, long long& value);
bool parseReal(const std::string& token, double& value);
bool parseHexByte(const std::string& token, uint8_t& value);

// Note names as trackers show them: "C-4", "C#4", octave 0..7; returns 1..96
// (C-0 = 1, C-4 = 49) or 0 when the token is not a note name.
int parseNoteName(const std::string& token);
