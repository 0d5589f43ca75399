#include "TextInput.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

bool splitSourceText(const std::string& path, const std::string& text, SourceFile& out,
                     std::string& error) {
  out.path = path;
  out.lines.clear();
  size_t start = 0;
  int number = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    ++number;
    std::string raw = text.substr(start, end - start);
    if (!raw.empty() && raw.back() == '\r') raw.pop_back();

    SourceLine line;
    line.number = number;
    bool inQuote = false;
    std::string current;
    bool haveToken = false;
    size_t i = 0;
    for (; i < raw.size(); ++i) {
      char c = raw[i];
      if (inQuote) {
        if (c == '"') {
          inQuote = false;
        } else {
          current += c;
        }
        continue;
      }
      if (c == '#' && !haveToken) break;  // '#' inside a token is a sharp: C#5
      if (c == '"') {
        inQuote = true;
        haveToken = true;
        continue;
      }
      if (c == ' ' || c == '\t') {
        if (haveToken) line.tokens.push_back(current);
        current.clear();
        haveToken = false;
        continue;
      }
      if (static_cast<unsigned char>(c) < 32 || static_cast<unsigned char>(c) > 126) {
        error = path + ":" + std::to_string(number) + ": unexpected character (byte " +
                std::to_string(static_cast<unsigned char>(c)) + ")";
        return false;
      }
      current += c;
      haveToken = true;
    }
    if (inQuote) {
      error = path + ":" + std::to_string(number) + ": unterminated quoted text";
      return false;
    }
    if (haveToken) line.tokens.push_back(current);
    line.text = raw.substr(0, i);
    if (!line.tokens.empty()) out.lines.push_back(line);
    if (end == text.size()) break;
    start = end + 1;
  }
  return true;
}

bool readSourceFile(const std::string& path, SourceFile& out, std::string& error) {
  FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = path + ": cannot open for reading";
    return false;
  }
  std::string text;
  char buffer[4096];
  size_t got;
  while ((got = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, got);
  bool failed = std::ferror(f) != 0;
  std::fclose(f);
  if (failed) {
    error = path + ": read error";
    return false;
  }
  return splitSourceText(path, text, out, error);
}

std::string sourceError(const SourceFile& file, int line, const std::string& message) {
  return file.path + ":" + std::to_string(line) + ": " + message;
}

bool parseInteger(const std::string& token, long long& value) {
  if (token.empty()) return false;
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(token.c_str(), &end, 10);
  if (errno != 0 || *end != 0) return false;
  value = v;
  return true;
}

bool parseReal(const std::string& token, double& value) {
  if (token.empty()) return false;
  errno = 0;
  char* end = nullptr;
  double v = std::strtod(token.c_str(), &end);
  if (errno != 0 || *end != 0 || v != v) return false;
  value = v;
  return true;
}

static int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseHexByte(const std::string& token, uint8_t& value) {
  if (token.size() != 2) return false;
  int hi = hexDigit(token[0]), lo = hexDigit(token[1]);
  if (hi < 0 || lo < 0) return false;
  value = static_cast<uint8_t>(hi * 16 + lo);
  return true;
}

int parseNoteName(const std::string& token) {
  if (token.size() != 3) return 0;
  static const char kNames[] = "CCDDEFFGGAAB";
  static const bool kSharp[] = {false, true, false, true, false, false,
                                true, false, true, false, true, false};
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
  char accidental = token[1];
  char octave = token[2];
  if (octave < '0' || octave > '7') return 0;
  for (int i = 0; i < 12; ++i) {
    if (kNames[i] != letter) continue;
    if ((accidental == '#') != kSharp[i]) continue;
    if (accidental != '#' && accidental != '-') return 0;
    return (octave - '0') * 12 + i + 1;
  }
  return 0;
}
