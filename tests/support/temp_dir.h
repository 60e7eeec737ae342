#pragma once
// A fresh directory under the system's temporary directory, removed with everything in it
// when the object goes.
#include <string>

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  // Writes `content` to the file `name` in this directory and returns its full path.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// Makes `directory` the working directory while the object lives, for code that writes where
// it runs; the test's own working directory is back afterwards.
class InDirectory {
 public:
  explicit InDirectory(const std::string& directory);
  ~InDirectory();
  InDirectory(const InDirectory&) = delete;
  InDirectory& operator=(const InDirectory&) = delete;

 private:
  std::string saved_;
};
