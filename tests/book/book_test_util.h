#pragma once
// Book files laid out by hand, big-endian, as the file format describes them: written
// independently of the book writer.
#include <cstdint>
#include <string>
#include <vector>

struct RawRecord {
  uint64_t key;
  uint8_t from, to;
  uint16_t wins, draws, losses, code;
};

// The 16-byte header: eight zero bytes, "MVK", 0, header size, version 2, entry size, flags
// (2 counts, 4 rating code); then one record per entry.
inline std::string rawBook(const std::vector<RawRecord>& records, uint8_t flags = 6,
                           int headerSize = 16, int entrySize = -1) {
  const bool counts = flags & 2, rating = flags & 4;
  if (entrySize < 0) entrySize = 10 + (counts ? 6 : 0) + (rating ? 2 : 0);
  std::string bytes;
  if (headerSize > 0)
    bytes = std::string(8, '\0') + "MVK" + '\0' + char(headerSize) + '\2' + char(entrySize) +
            char(flags);
  auto put = [&](uint64_t value, int size) {
    for (int i = size - 1; i >= 0; i--) bytes += char(value >> (8 * i));
  };
  for (const RawRecord& r : records) {
    const size_t start = bytes.size();
    put(r.key, 8);
    put(r.from, 1);
    put(r.to, 1);
    if (counts) put(uint64_t(r.wins) << 32 | uint64_t(r.draws) << 16 | r.losses, 6);
    if (rating) put(r.code, 2);
    while (int(bytes.size() - start) < entrySize) bytes += char(0xEE);  // padding of wider records
  }
  return bytes;
}

inline uint8_t squareByte(const char* sq) { return uint8_t((sq[1] - '1') * 16 + (sq[0] - 'a')); }
