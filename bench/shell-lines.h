/* SPDX-License-Identifier: LGPL-2.1-or-later */
/* A million shell-like lines of 10 to 120 bytes, the same in every program
 * that includes this, for the history search benchmarks. */
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace bench_lines {

constexpr size_t line_count = 1000000;

/* A small fixed generator, so that every program and run sees the same lines. */
class Generator
{
public:
  uint32_t next ()
  {
    state_ ^= state_ << 13;
    state_ ^= state_ >> 17;
    state_ ^= state_ << 5;
    return state_;
  }
  size_t below (size_t n) { return next () % n; }

private:
  uint32_t state_ = 2463534242U;
};

inline std::vector<std::string>
shell_lines ()
{
  static const char *const commands[] = {
    "git commit -m", "git checkout", "git push origin", "git log --oneline", "make -C", "ls -la", "cd",
    "grep -rn", "cargo build --release", "ninja -C", "ssh", "docker run --rm", "python3 -m", "vim", "rm -rf",
    "cp -r", "curl -fsSL", "find . -name", "kubectl get pods -n", "npm install", "sudo apt install",
  };
  static const char *const words[] = {
    "build", "src", "main", "test", "release", "origin", "master", "feature", "config", "image", "server",
    "client", "data", "log", "tmp", "user", "home", "local", "share", "fix", "parser", "widget", "cache",
    "index", "http", "json", "api", "deploy", "backup", "notes",
  };
  static const char separators[] = { ' ', '/', '-', '.', '_', ' ' };
  Generator random;
  std::vector<std::string> lines;
  lines.reserve (line_count);
  for (size_t i = 0; i < line_count; i++)
    {
      const size_t length = 10 + random.below (111);
      std::string line = commands[random.below (std::size (commands))];
      line += ' ';
      line += std::to_string (i % 977);
      while (line.size () < length)
        {
          line += separators[random.below (std::size (separators))];
          line += words[random.below (std::size (words))];
        }
      line.resize (length);
      lines.push_back (std::move (line));
    }
  return lines;
}

/* The queries: about a few percent of the lines match each. */
constexpr char substring_query[] = "docker run --rm 1";
constexpr char substring_refined[] = "docker run --rm 12";
constexpr char prefix_query[] = "git checkout 4";
constexpr char fuzzy_query[] = "gpo1fx";

} // namespace bench_lines
