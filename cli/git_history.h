// SPDX-License-Identifier: Apache-2.0
// What each commit of a repository's history added, read from git log -p
// run as a child process: git is on every machine that has a repository,
// and its own reading of history (renames, merges, the user's range) is
// the one a developer expects.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace mivaro::cli {

// The lines a commit left in one file around and including those it added,
// as text, a line each.
struct CommitText {
  std::string commit;                // its hash, whole
  std::string date;                  // when it was committed, ISO 8601
  std::string path;                  // the file, in that commit's tree
  std::string text;                  // the lines, each ended by a line feed
  std::vector<std::uint64_t> lines;  // each line's number in the file
  std::vector<bool> added;           // whether the commit added it
};

// A file a commit changed that git's patch cannot show: a workbook, an
// archive, any binary file; read whole, before and after.
struct CommitBlob {
  std::string commit;
  std::string date;
  std::string path;
  std::string before;  // the blob it had before the commit; "" when new
  std::string after;   // the blob the commit gave it
};

// Runs git log -p over range (and paths, when any) in the current folder,
// oldest commit first, and calls text with every file's text of every
// commit, and binary with every binary file a commit added or changed.
// False, saying why, when git cannot be run or fails.
bool ReadGitHistory(const std::string& range, const std::vector<std::string>& paths,
                    const std::function<void(const CommitText&)>& text,
                    const std::function<void(const CommitBlob&)>& binary, std::string& error);

// Reads a blob's bytes, at most most of them; false, saying why, when git
// cannot give it or it is larger.
bool ReadGitBlob(const std::string& blob, std::uint64_t most, std::string& bytes,
                 std::string& error);

}  // namespace mivaro::cli
