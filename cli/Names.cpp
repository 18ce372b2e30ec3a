#include "cli/Names.h"

#include <algorithm>
#include <cctype>

#include "engine/Utf8.h"
#include "engine/compile/NearestName.h"
#include "engine/Variant.h"

std::string_view Trim(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

bool IsName(std::string_view name) {
  if (name.empty() || !std::isalpha(static_cast<unsigned char>(name[0]))) return false;
  for (unsigned char c : name)
    if (!std::isalnum(c) && c != '_' && c < 0x80) return false;
  return true;
}

bool SameName(std::string_view a, std::string_view b) { return qv::EqualNoCase(FromUtf8(a), FromUtf8(b)); }

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  for (size_t at = 0; (at = text.find_first_not_of(' ', at)) != std::string_view::npos;) {
    const size_t end = std::min(text.find(' ', at), text.size());
    words.push_back(text.substr(at, end - at));
    at = end;
  }
  return words;
}

size_t FindOutside(std::string_view text, char c, size_t from) {
  int depth = 0;
  bool quoted = false;
  for (size_t i = from; i < text.size(); ++i) {
    if (text[i] == '"') quoted = !quoted;  // a doubled quote inside a text toggles twice
    if (quoted) continue;
    if (text[i] == c && depth == 0) return i;
    if (text[i] == '(') ++depth;
    if (text[i] == ')' && depth > 0) --depth;
  }
  return std::string_view::npos;
}

bool SplitAssignment(std::string_view text, Assignment& out) {
  const size_t equals = FindOutside(text, '=');
  if (equals == std::string_view::npos) return false;
  std::string_view target = Trim(text.substr(0, equals));
  out.expression = Trim(text.substr(equals + 1));
  out.element = !target.empty() && target.back() == ')';
  if (out.element) {
    const size_t open = target.find('(');
    if (open == std::string_view::npos) return false;
    out.subscripts = target.substr(open + 1, target.size() - open - 2);
    target = Trim(target.substr(0, open));
  }
  out.name = target;
  return IsName(out.name) && !out.expression.empty();
}

std::string Nearest(std::string_view typed, const std::vector<std::string>& known) {
  std::vector<std::u16string> names;
  for (const std::string& name : known) names.push_back(FromUtf8(name));
  return ToUtf8(qv::NearestName(FromUtf8(typed), names));
}
