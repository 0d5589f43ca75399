#include "ScoreReader.h"

#include <cctype>

namespace {

std::vector<std::string> splitBlanks(const std::string& text) {
  std::vector<std::string> tokens;
  std::string current;
  for (char c : text) {
    if (c == ' ' || c == '\t') {
      if (!current.empty()) tokens.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) tokens.push_back(current);
  return tokens;
}

bool isEmptyToken(const std::string& token) {
  for (char c : token)
    if (c != '.' && c != '-') return false;
  return true;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool parseVolumeColumn(const std::string& token, uint8_t& value, std::string& message) {
  if (isEmptyToken(token) && token.size() == 2) {
    value = 0;
    return true;
  }
  if (token.size() != 2) {
    message = "volume column '" + token + "' must be two characters";
    return false;
  }
  char kind = token[0];
  int digit = hexValue(token[1]);
  if (kind >= '0' && kind <= '4') {
    uint8_t v = 0;
    if (!parseHexByte(token, v) || v > 0x40) {
      message = "volume '" + token + "' is outside 00..40";
      return false;
    }
    value = static_cast<uint8_t>(0x10 + v);
    return true;
  }
  if (digit < 0) {
    message = "volume column '" + token + "' needs a hex digit after its letter";
    return false;
  }
  static const struct { char letter; uint8_t base; } kKinds[] = {
      {'-', 0x60}, {'+', 0x70}, {'d', 0x80}, {'u', 0x90}, {'s', 0xA0},
      {'v', 0xB0}, {'p', 0xC0}, {'l', 0xD0}, {'r', 0xE0}, {'m', 0xF0}};
  char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(kind)));
  for (const auto& k : kKinds) {
    if (k.letter == lower) {
      value = static_cast<uint8_t>(k.base + digit);
      return true;
    }
  }
  message = "unknown volume column command '" + token + "'";
  return false;
}

bool parseEffect(const std::string& token, uint8_t& effect, uint8_t& param, std::string& message) {
  if (token.size() == 3 && isEmptyToken(token)) {
    effect = param = 0;
    return true;
  }
  if (token.size() != 3) {
    message = "effect '" + token + "' must be three characters";
    return false;
  }
  char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(token[0])));
  if (letter >= '0' && letter <= '9') {
    effect = static_cast<uint8_t>(letter - '0');
  } else if (letter >= 'A' && letter <= 'Z') {
    effect = static_cast<uint8_t>(letter - 'A' + 10);
  } else {
    message = "effect '" + token + "' must start with 0-9 or A-Z";
    return false;
  }
  if (!parseHexByte(token.substr(1), param)) {
    message = "effect '" + token + "' needs two hex digits after its letter";
    return false;
  }
  return true;
}

}  // namespace

bool parseCell(const std::string& text, CellDef& cell, std::string& message) {
  std::vector<std::string> t = splitBlanks(text);
  if (t.size() != 4) {
    message = "a cell is note, instrument, volume and effect; got '" + text + "'";
    return false;
  }
  cell = CellDef{};
  if (t[0] == "off" || t[0] == "OFF" || t[0] == "===") {
    cell.note = 97;
  } else if (!(isEmptyToken(t[0]) && t[0].size() == 3)) {
    int note = parseNoteName(t[0]);
    if (note == 0) {
      message = "'" + t[0] + "' is not a note (C-0 to B-7, off, or ---)";
      return false;
    }
    cell.note = static_cast<uint8_t>(note);
  }
  if (!(isEmptyToken(t[1]) && t[1].size() == 2)) {
    if (!parseHexByte(t[1], cell.instrument) || cell.instrument == 0) {
      message = "instrument '" + t[1] + "' must be two hex digits from 01";
      return false;
    }
  }
  if (!parseVolumeColumn(t[2], cell.volume, message)) return false;
  return parseEffect(t[3], cell.effect, cell.param, message);
}

bool readScore(const SourceFile& file, ScoreDef& out, std::string& error) {
  out = ScoreDef{};
  PatternDef* pattern = nullptr;
  int orderLine = 0, restartLine = 0;
  for (const SourceLine& line : file.lines) {
    const auto& t = line.tokens;
    auto fail = [&](const std::string& message) {
      error = sourceError(file, line.number, message);
      return false;
    };
    auto integerAt = [&](size_t index, long long lo, long long hi, long long& v) {
      if (t.size() != index + 1) return fail("'" + t[0] + "' takes one value");
      if (!parseInteger(t[index], v)) return fail("'" + t[index] + "' is not a whole number");
      if (v < lo || v > hi)
        return fail("'" + t[0] + "' must be " + std::to_string(lo) + ".." + std::to_string(hi));
      return true;
    };
    const std::string& key = t[0];
    long long v = 0;
    if (!key.empty() && std::isdigit(static_cast<unsigned char>(key[0]))) {
      if (!pattern) return fail("a row outside a pattern");
      size_t bar = line.text.find('|');
      if (bar == std::string::npos) return fail("a row is: <row> | cell | cell ...");
      long long row = 0;
      std::vector<std::string> head = splitBlanks(line.text.substr(0, bar));
      if (head.size() != 1 || !parseInteger(head[0], row)) return fail("bad row number");
      if (row != pattern->rowCount) return fail("expected row " + std::to_string(pattern->rowCount));
      if (row >= 256) return fail("a pattern has at most 256 rows");
      std::vector<std::string> cells;
      size_t start = bar + 1;
      while (true) {
        size_t next = line.text.find('|', start);
        cells.push_back(line.text.substr(start, next == std::string::npos ? std::string::npos : next - start));
        if (next == std::string::npos) break;
        start = next + 1;
      }
      if (!cells.empty() && splitBlanks(cells.back()).empty() && cells.size() > static_cast<size_t>(out.channels))
        cells.pop_back();  // a trailing bar
      if (cells.size() != static_cast<size_t>(out.channels))
        return fail("row has " + std::to_string(cells.size()) + " cells, the song has " +
                    std::to_string(out.channels) + " channels");
      for (size_t c = 0; c < cells.size(); ++c) {
        CellDef cell;
        std::string message;
        if (!parseCell(cells[c], cell, message))
          return fail("channel " + std::to_string(c + 1) + ": " + message);
        pattern->cells.push_back(cell);
      }
      pattern->rowLines.push_back(line.number);
      ++pattern->rowCount;
      continue;
    }
    if (key == "pattern") {
      if (t.size() < 2 || t.size() > 3) return fail("write: pattern <number> [\"name\"]");
      if (!parseInteger(t[1], v) || v != static_cast<long long>(out.patterns.size()))
        return fail("patterns are numbered 0, 1, 2... in order; expected " + std::to_string(out.patterns.size()));
      if (pattern && pattern->rowCount == 0) return fail("the previous pattern has no rows");
      if (out.patterns.size() == 256) return fail("a module holds at most 256 patterns");
      out.patterns.emplace_back();
      pattern = &out.patterns.back();
      pattern->name = t.size() == 3 ? t[2] : "";
      pattern->line = line.number;
      continue;
    }
    if (pattern) return fail("song settings ('" + key + "') belong before the first pattern");
    if (key == "title" || key == "tracker") {
      if (t.size() != 2) return fail("'" + key + "' takes one quoted text");
      if (t[1].size() > 20) return fail("'" + key + "' is longer than 20 characters");
      (key == "title" ? out.title : out.tracker) = t[1];
    } else if (key == "channels") {
      if (!integerAt(1, 2, 32, v)) return false;
      if (v % 2) return fail("trackers expect an even number of channels");
      out.channels = static_cast<int>(v);
    } else if (key == "tempo") {
      if (!integerAt(1, 1, 31, v)) return false;
      out.tempo = static_cast<int>(v);
    } else if (key == "bpm") {
      if (!integerAt(1, 32, 255, v)) return false;
      out.bpm = static_cast<int>(v);
    } else if (key == "restart") {
      if (!integerAt(1, 0, 255, v)) return false;
      out.restart = static_cast<int>(v);
      restartLine = line.number;
    } else if (key == "frequencies") {
      if (t.size() != 2 || (t[1] != "linear" && t[1] != "amiga"))
        return fail("'frequencies' is linear or amiga");
      out.linear = t[1] == "linear";
    } else if (key == "order") {
      if (t.size() < 2) return fail("'order' lists pattern numbers");
      if (t.size() - 1 > 256) return fail("the order list holds at most 256 positions");
      out.order.clear();
      for (size_t i = 1; i < t.size(); ++i) {
        if (!parseInteger(t[i], v) || v < 0 || v > 255) return fail("'" + t[i] + "' is not a pattern number");
        out.order.push_back(static_cast<uint8_t>(v));
      }
      orderLine = line.number;
    } else {
      return fail("unknown setting '" + key + "'");
    }
  }
  if (out.patterns.empty()) {
    error = file.path + ": no patterns";
    return false;
  }
  if (out.patterns.back().rowCount == 0) {
    error = sourceError(file, out.patterns.back().line, "pattern has no rows");
    return false;
  }
  if (out.order.empty()) {
    error = file.path + ": no 'order' list";
    return false;
  }
  for (uint8_t p : out.order) {
    if (p >= out.patterns.size()) {
      error = sourceError(file, orderLine, "order names pattern " + std::to_string(p) + ", which is not defined");
      return false;
    }
  }
  if (out.restart >= static_cast<int>(out.order.size())) {
    error = sourceError(file, restartLine, "restart position lies beyond the order list");
    return false;
  }
  return true;
}
