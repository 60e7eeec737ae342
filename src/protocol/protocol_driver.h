#pragma once
// What the command loop needs of a protocol driver: whether its start command has made it
// the active one, and a chance to take each line before the console sees it.
#include "base/rc_string.h"
#include "board/position.h"

class ProtocolDriver {
 public:
  virtual ~ProtocolDriver() = default;
  virtual bool active() const = 0;
  // True when the driver took the line (first word and the rest of the line).
  virtual bool handle(const RcString& word, const RcString& rest) = 0;
};

// Start-up settings of the protocol drivers ("uci.*" and "winboard.*" keys) and the book.
struct ProtocolConfig {
  bool uciTrace = false;
  RcString uciLogDir;
  int uciTimeGapMs = 3000;
  RcString winboardLogDir;
  int winboardTimeGapMs = 3000;
};
