#include "search/syzygy.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "base/platform.h"
#include "board/movegen.h"
#include "board/rays.h"

#ifdef MELVOK_HAVE_FATHOM
#include <tbprobe.h>
#endif

namespace {

inline unsigned bitOf(int sq) { return unsigned(bitIndex(sq)); }

}  // namespace

TableBoards tableBoards(const Position& pos) {
  TableBoards b;
  for (uint64_t rest = pos.occupied; rest; rest &= rest - 1) {
    const int bit = __builtin_ctzll(rest);
    const int piece = pos.at(squareOfBit(bit));
    const uint64_t mask = 1ull << bit;
    (colourOf(piece) == White ? b.white : b.black) |= mask;
    switch (tables.kindOfSlot[slotOf(piece)]) {
      case King:
        b.kings |= mask;
        break;
      case Queen:
        b.queens |= mask;
        break;
      case Rook:
        b.rooks |= mask;
        break;
      case Bishop:
        b.bishops |= mask;
        break;
      case Knight:
        b.knights |= mask;
        break;
      default:
        b.pawns |= mask;
        break;
    }
  }
  b.epSquare = pos.epSquare ? bitOf(pos.epSquare) : 0;
  b.halfmoveClock = unsigned(pos.fiftyMoveCount());
  b.castling = ((pos.castleRights & WhiteKingSide) ? 1u : 0u) |
               ((pos.castleRights & WhiteQueenSide) ? 2u : 0u) |
               ((pos.castleRights & BlackKingSide) ? 4u : 0u) |
               ((pos.castleRights & BlackQueenSide) ? 8u : 0u);
  b.whiteToMove = pos.sideToMove == White;
  return b;
}

#ifdef MELVOK_HAVE_FATHOM

namespace {

// Splits a ':'-separated list of folders, dropping empty entries.
std::vector<std::string> folders(const std::string& path) {
  std::vector<std::string> list;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find(':', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) list.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return list;
}

// A table's file name without its suffix: "K", the stronger side's pieces, "v", "K", the other
// side's, each side's pieces in the order Q R B N P, seven men at most.
bool tableName(const std::string& name) {
  static const std::string order = "QRBNP";
  const size_t v = name.find('v');
  if (v == std::string::npos || name.size() > 8 || name[0] != 'K' || v + 1 >= name.size() ||
      name[v + 1] != 'K')
    return false;
  for (const auto& [from, to] : {std::pair{size_t(1), v}, std::pair{v + 2, name.size()}}) {
    size_t last = 0;
    for (size_t i = from; i < to; i++) {
      const size_t rank = order.find(name[i]);
      if (rank == std::string::npos || rank < last) return false;
      last = rank;
    }
  }
  return true;
}

// Whether the file looks like a WDL table to the library: its magic number first, and a size
// that the library accepts (it skips other files with a message of its own).
bool wdlFile(const std::filesystem::path& file) {
  static const unsigned char magic[4] = {0x71, 0xe8, 0x23, 0x5d};
  std::error_code error;
  const auto size = std::filesystem::file_size(file, error);
  if (error || size % 64 != 16) return false;
  unsigned char head[4] = {};
  std::ifstream in(file, std::ios::binary);
  return in.read(reinterpret_cast<char*>(head), 4) && std::equal(head, head + 4, magic);
}

// The distinct WDL tables (".rtbw" files with a table's name) in the folders; the folders that
// are none go to `missing`.
int countTables(const std::vector<std::string>& list, std::string& missing) {
  namespace fs = std::filesystem;
  std::set<std::string> names;
  for (const std::string& folder : list) {
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
      missing += (missing.empty() ? "" : ", ") + folder;
      continue;
    }
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
      const fs::path file = it->path();
      if (file.extension() == ".rtbw" && tableName(file.stem().string()) && wdlFile(file))
        names.insert(file.stem().string());
    }
  }
  return int(names.size());
}

// The library's promotion codes by melvok's kind codes.
unsigned promotionCode(int kind) {
  switch (kind) {
    case Queen:
      return TB_PROMOTES_QUEEN;
    case Rook:
      return TB_PROMOTES_ROOK;
    case Bishop:
      return TB_PROMOTES_BISHOP;
    case Knight:
      return TB_PROMOTES_KNIGHT;
    default:
      return TB_PROMOTES_NONE;
  }
}

// Whether the library's move word names melvok's move m.
bool namesMove(TbMove tbMove, Move m) {
  return TB_MOVE_FROM(tbMove) == bitOf(moveFrom(m)) && TB_MOVE_TO(tbMove) == bitOf(moveTo(m)) &&
         TB_MOVE_PROMOTES(tbMove) == promotionCode(movePromotion(m));
}

// Debian's Fathom library, opened at run time with its names kept to itself (never linked):
// Gaviota's probing library, behind the Gaviota bitbase adapter, exports functions of the
// same names (tb_init, tb_free), and a Fathom linked into the program would answer the
// adapter's calls in their place. Opened once and never closed; read-only afterwards. The
// header's inline wrappers are not used: they would name the library's functions at link time.
constexpr const char* FathomLibrary = "libfathom.so.1";

struct Fathom {
  using Init = bool (*)(const char* path);
  using ProbeWdl = unsigned (*)(uint64_t white, uint64_t black, uint64_t kings, uint64_t queens,
                                uint64_t rooks, uint64_t bishops, uint64_t knights, uint64_t pawns,
                                unsigned ep, bool turn);
  using ProbeRoot = unsigned (*)(uint64_t white, uint64_t black, uint64_t kings, uint64_t queens,
                                 uint64_t rooks, uint64_t bishops, uint64_t knights, uint64_t pawns,
                                 unsigned rule50, unsigned ep, bool turn, unsigned* results);
  using RankByDtz = int (*)(uint64_t white, uint64_t black, uint64_t kings, uint64_t queens,
                            uint64_t rooks, uint64_t bishops, uint64_t knights, uint64_t pawns,
                            unsigned rule50, unsigned castling, unsigned ep, bool turn,
                            bool hasRepeated, bool useRule50, TbRootMoves* results);
  using RankByWdl = int (*)(uint64_t white, uint64_t black, uint64_t kings, uint64_t queens,
                            uint64_t rooks, uint64_t bishops, uint64_t knights, uint64_t pawns,
                            unsigned rule50, unsigned castling, unsigned ep, bool turn,
                            bool useRule50, TbRootMoves* results);

  DynamicLibrary library;
  Init init = nullptr;
  ProbeWdl probeWdl = nullptr;
  ProbeRoot probeRoot = nullptr;
  RankByDtz rankByDtz = nullptr;
  RankByWdl rankByWdl = nullptr;
  const unsigned* largest = nullptr;  // the most men of any table found by the last init

  bool open() {
    if (!library.open(FathomLibrary)) return false;
    init = reinterpret_cast<Init>(library.symbol("tb_init"));
    probeWdl = reinterpret_cast<ProbeWdl>(library.symbol("tb_probe_wdl_impl"));
    probeRoot = reinterpret_cast<ProbeRoot>(library.symbol("tb_probe_root_impl"));
    rankByDtz = reinterpret_cast<RankByDtz>(library.symbol("tb_probe_root_dtz"));
    rankByWdl = reinterpret_cast<RankByWdl>(library.symbol("tb_probe_root_wdl"));
    largest = static_cast<const unsigned*>(library.symbol("TB_LARGEST"));
    return ready();
  }
  bool ready() const { return init && probeWdl && probeRoot && rankByDtz && rankByWdl && largest; }
};

const Fathom& fathom() {
  static Fathom* const library = [] {
    auto* f = new Fathom();
    f->open();
    return f;
  }();
  return *library;
}

}  // namespace

bool SyzygyTables::builtIn() { return fathom().ready(); }

std::string SyzygyTables::load(const std::string& path) {
  const bool off = path.empty() || path == "<empty>";
  // The same folders again (interfaces send the path with every game): the tables stay as they
  // are. This library version leaves stale mappings behind whenever it starts again, so it
  // starts again only for other folders.
  if (!off && path == path_ && largestMen_ > 0) return report_;
  path_ = off ? "" : path;
  largestMen_ = 0;
  tableCount_ = 0;
  // Switched off, the library keeps what it had (mapped, unread): it cannot be freed and
  // started again, only started again.
  if (off) return report_ = "Syzygy: off";
  if (!fathom().ready())
    return report_ = std::string("Syzygy: unavailable (") + FathomLibrary +
                     " could not be loaded: " + fathom().library.error() + "), " + path_ +
                     " not read";
  std::string missing;
  const int count = countTables(folders(path_), missing);
  const std::string noFolder = missing.empty() ? "" : " (no folder " + missing + ")";
  if (!fathom().init(path_.c_str()) || *fathom().largest == 0 || count == 0)
    return report_ = "Syzygy: no tables found in " + path_ + noFolder;
  largestMen_ = int(*fathom().largest);
  tableCount_ = count;
  return report_ = "Syzygy: " + std::to_string(count) + (count == 1 ? " table" : " tables") +
                   ", up to " + std::to_string(largestMen_) + " men" + noFolder;
}

bool SyzygyTables::probeWdl(const Position& pos, TableWdl& result) const {
  if (largestMen_ == 0 || menOnBoard(pos) > largestMen_) return false;
  const TableBoards b = tableBoards(pos);
  if (b.castling != 0) return false;
  const unsigned r = fathom().probeWdl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops,
                                       b.knights, b.pawns, b.epSquare, b.whiteToMove);
  if (r == TB_RESULT_FAILED) return false;
  result = TableWdl(int(r) - 2);
  return true;
}

bool SyzygyTables::probeRoot(const Position& pos, TableDistance& result) const {
  if (largestMen_ == 0 || menOnBoard(pos) > largestMen_) return false;
  // Bare kings have no table of their own, and nothing to count.
  if (menOnBoard(pos) == 2) {
    result = {TableWdl::Draw, 0};
    return true;
  }
  const TableBoards b = tableBoards(pos);
  if (b.castling != 0) return false;
  const unsigned r = fathom().probeRoot(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops,
                                        b.knights, b.pawns, 0, b.epSquare, b.whiteToMove, nullptr);
  if (r == TB_RESULT_FAILED) return false;
  if (r == TB_RESULT_CHECKMATE) {
    result = {TableWdl::Loss, -1};  // mated: a loss, and only draws are 0
    return true;
  }
  if (r == TB_RESULT_STALEMATE) {
    result = {TableWdl::Draw, 0};
    return true;
  }
  result.wdl = TableWdl(int(TB_GET_WDL(r)) - 2);
  const int dtz = int(TB_GET_DTZ(r));
  result.dtz = result.wdl == TableWdl::Draw ? 0 : int(result.wdl) > 0 ? dtz : -dtz;
  return true;
}

bool SyzygyTables::rankRootMoves(Position& pos, bool rule50, bool repeated,
                                 std::vector<RankedMove>& ranked) const {
  ranked.clear();
  if (largestMen_ == 0 || menOnBoard(pos) > largestMen_ || pos.castleRights != 0) return false;
  const TableBoards b = tableBoards(pos);
  // Too large for the stack of a search thread's caller: one per call on the heap.
  auto moves = std::make_unique<TbRootMoves>();
  int ok = fathom().rankByDtz(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights,
                              b.pawns, b.halfmoveClock, b.castling, b.epSquare, b.whiteToMove,
                              repeated, rule50, moves.get());
  // Without DTZ tables the WDL tables still rank by result.
  if (!ok)
    ok = fathom().rankByWdl(b.white, b.black, b.kings, b.queens, b.rooks, b.bishops, b.knights,
                            b.pawns, b.halfmoveClock, b.castling, b.epSquare, b.whiteToMove, rule50,
                            moves.get());
  if (!ok) return false;
  Move legal[MaxMoves];
  const int count = generateLegalMoves(pos, legal);
  for (int i = 0; i < count; i++) {
    const TbRootMove* match = nullptr;
    for (unsigned j = 0; j < moves->size && !match; j++)
      if (namesMove(moves->moves[j].move, legal[i])) match = &moves->moves[j];
    if (!match) {
      ranked.clear();
      return false;
    }
    ranked.push_back(RankedMove{legal[i], int(match->tbRank)});
  }
  return !ranked.empty();
}

#else

bool SyzygyTables::builtIn() { return false; }

std::string SyzygyTables::load(const std::string& path) {
  path_.clear();
  if (path.empty() || path == "<empty>") return "Syzygy: off";
  return "Syzygy: unavailable (built without the Fathom library), " + path + " not read";
}

bool SyzygyTables::probeWdl(const Position&, TableWdl&) const { return false; }
bool SyzygyTables::probeRoot(const Position&, TableDistance&) const { return false; }
bool SyzygyTables::rankRootMoves(Position&, bool, bool, std::vector<RankedMove>& ranked) const {
  ranked.clear();
  return false;
}

#endif
