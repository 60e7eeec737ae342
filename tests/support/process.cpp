#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>

namespace {
using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
  auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

int decodeStatus(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}
}  // namespace

Process::~Process() {
  closeInput();
  if (pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeAll();
}

bool Process::start(const std::string& program, const std::vector<std::string>& args,
                    const Options& options) {
  if (pid_ > 0) {
    failure_ = "already running";
    return false;
  }
  // A child that dies while a test writes to it must fail the write, not kill the test.
  signal(SIGPIPE, SIG_IGN);
  pending_.clear();
  errorText_.clear();
  failure_.clear();
  exitStatus_ = -1;
  timedOut_ = false;

  // Every descriptor is close-on-exec, so children of other Process objects never hold these
  // pipes open (which would hide the end of input or output).
  int in[2], out[2], err[2] = {-1, -1}, report[2];
  if (pipe2(in, O_CLOEXEC) != 0) return failure_ = strerror(errno), false;
  if (pipe2(out, O_CLOEXEC) != 0 || (!options.mergeStderr && pipe2(err, O_CLOEXEC) != 0) ||
      pipe2(report, O_CLOEXEC) != 0) {
    failure_ = strerror(errno);
    for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
      if (fd >= 0) close(fd);
    return false;
  }

  std::vector<char*> argv;
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const char* directory =
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();

  pid_t child = fork();
  if (child == 0) {
    // Only async-signal-safe calls from here on: the test process may have threads.
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(options.mergeStderr ? out[1] : err[1], STDERR_FILENO);
    int error = 0;
    if (directory != nullptr && chdir(directory) != 0) {
      error = errno;
    } else {
      execvp(argv[0], argv.data());
      error = errno;
    }
    ssize_t ignored = ::write(report[1], &error, sizeof error);
    (void)ignored;
    _exit(127);
  }
  close(in[0]);
  close(out[1]);
  if (err[1] >= 0) close(err[1]);
  close(report[1]);
  if (child < 0) {
    failure_ = strerror(errno);
    for (int fd : {in[1], out[0], err[0], report[0]})
      if (fd >= 0) close(fd);
    return false;
  }
  input_ = in[1];
  fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  output_ = out[0];
  error_ = err[0];
  pid_ = child;

  // The report pipe closes on a successful exec; otherwise it carries the child's errno.
  int childError = 0;
  ssize_t got;
  do got = read(report[0], &childError, sizeof childError);
  while (got < 0 && errno == EINTR);
  close(report[0]);
  if (got == sizeof childError) {
    failure_ = (directory != nullptr ? "cannot start in " + options.workingDirectory + ": "
                                     : "cannot run " + program + ": ") +
               strerror(childError);
    wait(5000);
    closeAll();
    return false;
  }
  return true;
}

// The child's output is drained while a long text goes in: a child that answers a line while it
// reads it (an echo, an error message) would otherwise fill its output pipe and both would wait.
bool Process::write(const std::string& text) {
  size_t done = 0;
  while (input_ >= 0 && done < text.size()) {
    ssize_t written = ::write(input_, text.data() + done, text.size() - done);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN) {
      pollfd fds[3] = {{input_, POLLOUT, 0}, {output_, POLLIN, 0}, {error_, POLLIN, 0}};
      if (poll(fds, 3, 1000) > 0 && (fds[1].revents || fds[2].revents)) pump(0);
      continue;
    }
    if (written <= 0) return false;
    done += written;
  }
  return input_ >= 0;
}

void Process::closeInput() { closeFd(input_); }

bool Process::pump(int timeoutMs) {
  pollfd fds[2];
  int count = 0;
  if (output_ >= 0) fds[count++] = {output_, POLLIN, 0};
  if (error_ >= 0) fds[count++] = {error_, POLLIN, 0};
  if (count == 0) return false;
  int ready = poll(fds, count, timeoutMs);
  if (ready <= 0) return output_ >= 0;
  char chunk[4096];
  for (int i = 0; i < count; ++i) {
    if (fds[i].revents == 0) continue;
    ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    bool isOutput = fds[i].fd == output_;
    if (got <= 0) {
      closeFd(isOutput ? output_ : error_);
    } else {
      (isOutput ? pending_ : errorText_).append(chunk, got);
    }
  }
  return output_ >= 0;
}

std::string Process::readUntil(const std::function<bool(const std::string&)>& accept,
                               int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string consumed;
  matched_ = false;
  for (;;) {
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      std::string line = pending_.substr(0, end);
      consumed += pending_.substr(0, end + 1);
      pending_.erase(0, end + 1);
      if (accept(line)) {
        matched_ = true;
        return consumed;
      }
    }
    if (output_ < 0 || millisecondsUntil(deadline) == 0) break;
    pump(millisecondsUntil(deadline));
  }
  // An unfinished last line is shown but left for the next read.
  return consumed + pending_;
}

std::string Process::readUntil(const std::string& needle, int timeoutMs) {
  return readUntil([&](const std::string& line) { return line.find(needle) != std::string::npos; },
                   timeoutMs);
}

std::string Process::readUntilText(const std::string& text, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  matched_ = false;
  for (;;) {
    size_t at = pending_.find(text);
    if (at != std::string::npos) {
      std::string consumed = pending_.substr(0, at + text.size());
      pending_.erase(0, at + text.size());
      matched_ = true;
      return consumed;
    }
    if (output_ < 0 || millisecondsUntil(deadline) == 0) return pending_;
    pump(millisecondsUntil(deadline));
  }
}

std::string Process::readAll(int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (output_ >= 0 && millisecondsUntil(deadline) > 0) pump(millisecondsUntil(deadline));
  matched_ = output_ < 0;
  std::string all;
  all.swap(pending_);
  return all;
}

std::string Process::takeError() {
  while (error_ >= 0) {
    pollfd fd = {error_, POLLIN, 0};
    if (poll(&fd, 1, 0) <= 0) break;
    char chunk[4096];
    ssize_t got = read(error_, chunk, sizeof chunk);
    if (got <= 0) {
      closeFd(error_);
      break;
    }
    errorText_.append(chunk, got);
  }
  std::string text;
  text.swap(errorText_);
  return text;
}

bool Process::errorPipeOpen() {
  errorText_ += takeError();
  return error_ >= 0;
}

int Process::wait(int timeoutMs) {
  if (pid_ <= 0) return exitStatus_;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  for (;;) {
    pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) {
      pid_ = -1;
      return exitStatus_ = -1;
    }
    int left = millisecondsUntil(deadline);
    if (left == 0) {
      timedOut_ = true;
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    // Keep draining output meanwhile: a child blocked on a full pipe would never exit.
    int slice = left < 10 ? left : 10;
    if (output_ >= 0 || error_ >= 0)
      pump(slice);
    else
      usleep(slice * 1000);
  }
  pid_ = -1;
  return exitStatus_ = decodeStatus(status);
}

void Process::closeAll() {
  closeFd(input_);
  closeFd(output_);
  closeFd(error_);
}
