#include "bench/bench_text.h"

#include <array>

namespace bench {
namespace {

constexpr std::array<const char*, 96> kWords = {
    "the",      "update",  "client",  "folder",  "file",    "version", "patch",   "archive",  "entry",   "window",
    "return",   "value",   "const",   "struct",  "class",   "public",  "private", "static",   "void",    "bool",
    "string",   "index",   "count",   "buffer",  "result",  "error",   "success", "install",  "backup",  "restore",
    "of",       "and",     "to",      "in",      "is",      "for",     "with",    "on",       "that",    "this",
    "settings", "account", "message", "channel", "sync",    "server",  "request", "response", "timeout", "retry",
    "user",     "device",  "display", "layout",  "button",  "label",   "image",   "icon",     "theme",   "color",
    "width",    "height",  "margin",  "padding", "border",  "font",    "size",    "style",    "text",    "data",
    "read",     "write",   "open",    "close",   "create",  "delete",  "rename",  "copy",     "move",    "list",
    "if",       "else",    "while",   "break",   "true",    "false",   "null",    "new",      "auto",    "int",
    "quillet",  "config",  "cache",   "token",   "session", "path"};

void appendNumber(std::string& text, uint64_t value) {
  char digits[24];
  int length = 0;
  do {
    digits[length++] = static_cast<char>('0' + value % 10);
    value /= 10;
  } while (value != 0);
  while (length > 0) text.push_back(digits[--length]);
}

}  // namespace

std::string makeText(Random& random, size_t bytes) {
  std::string text;
  text.reserve(bytes + 32);
  size_t lineStart = 0;
  size_t lineTarget = random.between(40, 100);
  while (text.size() < bytes) {
    const uint64_t pick = random.next();
    if (pick % 11 == 0) {
      appendNumber(text, (pick >> 8) % 100000);
    } else {
      text += kWords[(pick >> 8) % kWords.size()];
    }
    if (text.size() - lineStart >= lineTarget) {
      text.push_back('\n');
      lineStart = text.size();
      lineTarget = random.between(40, 100);
    } else {
      text.push_back((pick >> 40) % 9 == 0 ? ',' : ' ');
    }
  }
  text.resize(bytes);
  if (bytes > 0) text.back() = '\n';
  return text;
}

}  // namespace bench
