// Files of definitions and assignments (":load FILE", "-F FILE"): one a line, "#" starts a comment
// (outside quoted texts). A line is NAME = EXPR, ARRAY(i, ...) = EXPR for an array defined
// already, Name(P, ...) = body for a function, or a ':' command.
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "cli/Names.h"
#include "cli/SafeText.h"
#include "cli/Session.h"
#include "engine/Utf8.h"

namespace {

// Files may load files; a file that loads itself stops here.
constexpr int kMaxLoadDepth = 16;

// Why path cannot be read as a file of lines, or empty when it can be opened: a folder opens
// like a file but reads nothing, so it is refused by name.
std::string Unreadable(const std::string& path, const std::ifstream& in) {
  if (path.empty()) return "no file named";
  if (!in) return std::strerror(errno);
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode)) return std::strerror(EISDIR);
  return {};
}

}  // namespace

bool Session::Load(std::string_view path) {
  const std::string file(path);
  std::ifstream in(file, std::ios::binary);
  if (const std::string why = Unreadable(file, in); !why.empty()) {
    Problem("cannot read '" + file + "': " + why);
    return false;
  }
  if (loadDepth_ >= kMaxLoadDepth) {
    Problem("files load each other too deeply at '" + file + "'");
    return false;
  }
  ++loadDepth_;
  const std::string where = where_;
  bool ok = true;
  std::string line;
  for (long number = 1; std::getline(in, line); ++number) {
    where_ = where + file + ":" + std::to_string(number) + ": ";
    ok = LoadLine(number == 1 ? WithoutBom(line) : line) && ok;
  }
  where_ = where;
  if (in.bad()) {
    Problem("cannot read '" + file + "': " + std::strerror(errno));
    ok = false;
  }
  --loadDepth_;
  return ok;
}

bool Session::LoadLine(std::string_view line) {
  line = Trim(line.substr(0, FindOutside(line, '#')));
  if (line.empty()) return true;
  if (line[0] == ':') return RunCommand(line);
  Assignment parts;
  if (!SplitAssignment(line, parts) && !parts.element) {
    Problem("expected NAME = EXPR or Name(P, ...) = body");
    return false;
  }
  int16_t slot = 0, dims = 0;
  std::vector<int16_t> bounds;
  if (parts.element) engine_.GetArrayDetails(FromUtf8(parts.name), slot, dims, bounds);
  return parts.element && slot == 0 ? Define(line) : Let(line);
}
