#include "support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

int millisecondsUntil(Clock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? int(left) : 0;
}

void closeFd(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

}  // namespace

Process::~Process() {
  if (pid_ > 0) kill(pid_, SIGKILL);
  wait(0);
  for (int* fd : {&input_, &output_, &error_}) closeFd(*fd);
}

bool Process::start(const std::string& program, const std::vector<std::string>& args,
                    const Options& options) {
  // A child that dies while a test writes to it must fail the write, not kill the test.
  signal(SIGPIPE, SIG_IGN);
  // Close-on-exec everywhere, so that the children of other Process objects never hold these
  // pipes open (which would hide the end of input or output).
  int in[2], out[2], err[2] = {-1, -1};
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 ||
      (!options.mergeStderr && pipe2(err, O_CLOEXEC) != 0)) {
    failure_ = strerror(errno);
    return false;
  }
  std::vector<char*> argv = {const_cast<char*>(program.c_str())};
  for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
  argv.push_back(nullptr);
  const char* directory =
      options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str();
  pid_ = fork();
  if (pid_ == 0) {  // only async-signal-safe calls from here on: the test may have threads
    dup2(in[0], STDIN_FILENO);
    dup2(out[1], STDOUT_FILENO);
    dup2(options.mergeStderr ? out[1] : err[1], STDERR_FILENO);
    if (directory == nullptr || chdir(directory) == 0) execvp(argv[0], argv.data());
    _exit(127);
  }
  for (int fd : {in[0], out[1], err[1]})
    if (fd >= 0) close(fd);
  input_ = in[1];
  output_ = out[0];
  error_ = err[0];
  fcntl(input_, F_SETFL, fcntl(input_, F_GETFL) | O_NONBLOCK);
  if (pid_ < 0) failure_ = strerror(errno);
  return pid_ > 0;
}

// The child's output is drained while a long line goes in: a child that answers while it reads
// would otherwise fill its output pipe, and both would wait for ever.
bool Process::writeLine(const std::string& line) {
  const std::string text = line + "\n";
  for (size_t done = 0; input_ >= 0 && done < text.size();) {
    const ssize_t written = ::write(input_, text.data() + done, text.size() - done);
    if (written > 0)
      done += size_t(written);
    else if (errno == EAGAIN)
      pump(10);
    else if (errno != EINTR)
      return false;
  }
  return input_ >= 0;
}

void Process::closeInput() { closeFd(input_); }

void Process::pump(int timeoutMs) {
  pollfd fds[2] = {{output_, POLLIN, 0}, {error_, POLLIN, 0}};
  if (poll(fds, 2, timeoutMs) <= 0) return;
  for (int i = 0; i < 2; i++) {
    if (fds[i].fd < 0 || fds[i].revents == 0) continue;
    char chunk[4096];
    const ssize_t got = read(fds[i].fd, chunk, sizeof chunk);
    if (got > 0)
      (i == 0 ? pending_ : errorText_).append(chunk, size_t(got));
    else if (got == 0 || errno != EINTR)
      closeFd(i == 0 ? output_ : error_);
  }
}

std::string Process::readUntil(const std::function<bool(const std::string&)>& accept,
                               int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string consumed;
  for (matched_ = false;;) {
    for (size_t end; (end = pending_.find('\n')) != std::string::npos;) {
      const std::string line = pending_.substr(0, end);
      consumed += pending_.substr(0, end + 1);
      pending_.erase(0, end + 1);
      if ((matched_ = accept(line))) return consumed;
    }
    if (output_ < 0 || millisecondsUntil(deadline) == 0)
      return consumed + pending_;  // partial line kept
    pump(millisecondsUntil(deadline));
  }
}

std::string Process::readUntil(const std::string& needle, int timeoutMs) {
  return readUntil([&](const std::string& line) { return line.find(needle) != std::string::npos; },
                   timeoutMs);
}

std::string Process::readAll(int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (output_ >= 0 && millisecondsUntil(deadline) > 0) pump(millisecondsUntil(deadline));
  matched_ = output_ < 0;
  return std::exchange(pending_, "");
}

std::string Process::takeError() {
  for (pollfd fd{error_, POLLIN, 0}; error_ >= 0 && poll(&fd, 1, 0) > 0; fd.fd = error_) pump(0);
  return std::exchange(errorText_, "");
}

bool Process::errorPipeOpen() {
  errorText_ = takeError();
  return error_ >= 0;
}

int Process::wait(int timeoutMs) {
  if (pid_ <= 0) return -1;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (millisecondsUntil(deadline) == 0) {
      timedOut_ = true;
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    // Keep draining output meanwhile: a child blocked on a full pipe would never exit.
    if (output_ >= 0 || error_ >= 0)
      pump(10);
    else
      usleep(10000);
  }
  pid_ = -1;
  return WIFEXITED(status)     ? WEXITSTATUS(status)
         : WIFSIGNALED(status) ? 128 + WTERMSIG(status)
                               : -1;
}
