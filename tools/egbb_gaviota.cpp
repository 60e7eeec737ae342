// An endgame bitbase library over the Gaviota tablebases. It honours the same calling contract
// as the stand-in (two C entry points, 32-bit integer arguments, squares a1 = 0 .. h8 = 63,
// pieces 2 queen .. 6 pawn for White and 8 .. 12 for Black, 0 a draw, 99999 no information)
// and answers from whatever Gaviota tables the user has, through the Gaviota probing library.
//
// Where the tables are: the file "gaviota.txt" beside this library (the directory the engine
// passes to load) lists table folders, one a line; blank lines and lines starting with '#'
// are skipped, and relative folders are taken from the library's directory. Without that file
// the library uses Debian's tables, each of /usr/share/gaviotatb/gtb4 .. gtb1 that exists.
// A folder may hold one compression scheme or several; the scheme with the most table files
// is used, since the probing library reads one scheme at a time.
//
// Answers for the side to move: a win is WinScore - plies to mate, a loss its negation, as
// the stand-in gives them. Positions with more men than the largest complete set of tables
// (all 3-men, all 4-men, all 5-men) are not answered, so that the engine's start-up probes
// find out how far the tables really reach. The contract carries no castling rights and no
// en-passant square: positions are probed with neither.
#include <gtb-probe.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

namespace {

constexpr int32_t NoInformation = 99999;
constexpr int WinScore = 5000;
constexpr int32_t DefaultCacheBytes = 16 << 20;
// Only distances are asked for, so the probing library's separate win-draw-loss cache gets
// no share of the cache.
constexpr int WdlCacheShare = 0;

constexpr const char* FolderListName = "gaviota.txt";
constexpr const char* DebianTables[] = {"/usr/share/gaviotatb/gtb4", "/usr/share/gaviotatb/gtb3",
                                        "/usr/share/gaviotatb/gtb2", "/usr/share/gaviotatb/gtb1"};

// Table file endings by compression scheme (tb_UNCOMPRESSED .. tb_CP4).
constexpr int SchemeCount = 5;
constexpr const char* SchemeEndings[SchemeCount] = {".gtb", ".gtb.cp1", ".gtb.cp2", ".gtb.cp3",
                                                    ".gtb.cp4"};
constexpr const char* SchemeNames[SchemeCount] = {"uncompressed", "cp1", "cp2", "cp3", "cp4"};

// The contract's piece codes 2 .. 6 (queen, rook, bishop, knight, pawn) as Gaviota pieces.
constexpr unsigned char GaviotaPiece[7] = {tb_NOPIECE, tb_NOPIECE, tb_QUEEN, tb_ROOK,
                                           tb_BISHOP,  tb_KNIGHT,  tb_PAWN};
constexpr int32_t BlackPieceOffset = 6;

// The largest number of men that probes answer; -1 until load has run.
std::atomic<int> answeredMen{-1};
// The probing library now and then gives wrong answers when two threads probe at once, warm
// cache or cold, so every call into it holds this lock.
std::mutex tablesLock;
const char** tablePaths = nullptr;

std::string trimmed(const std::string& text) {
  const char* blanks = " \t\r\n";
  size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return "";
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

bool isDirectory(const std::string& path) {
  std::error_code error;
  return std::filesystem::is_directory(path, error);
}

// The folders named in the folder list beside the library, or Debian's that exist.
std::vector<std::string> tableFolders(const std::string& libraryDirectory) {
  std::vector<std::string> folders;
  std::ifstream list(libraryDirectory + FolderListName);
  if (list) {
    std::string line;
    while (std::getline(list, line)) {
      line = trimmed(line);
      if (line.empty() || line[0] == '#') continue;
      folders.push_back(std::filesystem::path(line).is_absolute() ? line : libraryDirectory + line);
    }
    return folders;
  }
  for (const char* folder : DebianTables)
    if (isDirectory(folder)) folders.push_back(folder);
  if (folders.empty()) folders.push_back(DebianTables[0]);
  return folders;
}

bool endsWith(const std::string& text, const std::string& ending) {
  return text.size() > ending.size() &&
         text.compare(text.size() - ending.size(), ending.size(), ending) == 0;
}

struct TableFiles {
  int scheme = tb_CP4;
  int count = 0;
  std::vector<std::string> folders;  // those that hold files of the scheme
};

// The compression scheme of most table files in the folders (ties go to the stronger one).
TableFiles tableFiles(const std::vector<std::string>& folders) {
  std::vector<TableFiles> schemes(SchemeCount);
  for (const std::string& folder : folders) {
    int counts[SchemeCount] = {};
    std::error_code error;
    for (std::filesystem::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
      std::string name = entry->path().filename().string();
      for (int scheme = 0; scheme < SchemeCount; ++scheme)
        if (endsWith(name, SchemeEndings[scheme])) ++counts[scheme];
    }
    for (int scheme = 0; scheme < SchemeCount; ++scheme) {
      if (counts[scheme] == 0) continue;
      schemes[scheme].scheme = scheme;
      schemes[scheme].count += counts[scheme];
      schemes[scheme].folders.push_back(folder);
    }
  }
  TableFiles best;
  for (int scheme = SchemeCount - 1; scheme >= 0; --scheme)
    if (schemes[scheme].count > best.count) best = schemes[scheme];
  return best;
}

// The most men for which every table is there: 3, 4, 5, or 0.
int completeMen(unsigned availability) {
  bool three = availability & 2, four = availability & 8, five = availability & 32;
  return !three ? 0 : !four ? 3 : !five ? 4 : 5;
}

std::string joined(const std::vector<std::string>& folders) {
  std::string text;
  for (const std::string& folder : folders) text += (text.empty() ? "" : ", ") + folder;
  return text;
}

// (Re)starts the probing library on the tables found and returns the men they answer.
int openTables(const std::string& libraryDirectory, size_t cacheBytes) {
  std::vector<std::string> folders = tableFolders(libraryDirectory);
  TableFiles files = tableFiles(folders);

  const char** paths = tbpaths_init();
  for (const std::string& folder : files.folders) paths = tbpaths_add(paths, folder.c_str());
  if (tb_is_initialized())
    tb_restart(0, files.scheme, paths);
  else
    tb_init(0, files.scheme, paths);
  if (tbcache_is_on())
    tbcache_restart(cacheBytes, WdlCacheShare);
  else
    tbcache_init(cacheBytes, WdlCacheShare);
  if (tablePaths != nullptr) tbpaths_done(tablePaths);
  tablePaths = paths;

  int men = completeMen(tb_availability());
  if (files.count == 0) {
    std::printf("EGBB: no Gaviota tables found in %s\n", joined(folders).c_str());
    return men;
  }
  std::string reach =
      men > 0 ? "complete up to " + std::to_string(men) + " men" : "no complete set";
  std::printf("EGBB: Gaviota tables (%s) in %s: %d files, %s\n", SchemeNames[files.scheme],
              joined(files.folders).c_str(), files.count, reach.c_str());
  return men;
}

bool validSquare(int32_t sq) { return sq >= 0 && sq < 64; }

// The pieces of one side for the probing library: the king first, ended by no piece.
struct Side {
  unsigned squares[6];
  unsigned char pieces[6];
  int count = 0;

  explicit Side(int32_t king) { add(tb_KING, king); }
  void add(unsigned char piece, int32_t square) {
    pieces[count] = piece;
    squares[count] = unsigned(square);
    ++count;
    pieces[count] = tb_NOPIECE;
    squares[count] = tb_NOSQUARE;
  }
};

}  // namespace

#define EGBB_EXPORT __attribute__((visibility("default")))

extern "C" {

// `path` is the library's directory with a trailing separator. Loading again re-reads the
// folder list and starts over with an empty cache.
EGBB_EXPORT void load_egbb_5men(const char* path, int32_t cacheBytes, int32_t /*loadOption*/) {
  std::lock_guard<std::mutex> hold(tablesLock);
  std::string directory = path != nullptr ? path : "";
  if (!directory.empty() && directory.back() != '/' && directory.back() != '\\') directory += '/';
  int men = openTables(directory, size_t(cacheBytes > 0 ? cacheBytes : DefaultCacheBytes));
  answeredMen.store(men, std::memory_order_release);
}

EGBB_EXPORT int32_t probe_egbb_5men(int32_t side, int32_t whiteKing, int32_t blackKing,
                                    int32_t piece1, int32_t square1, int32_t piece2,
                                    int32_t square2, int32_t piece3, int32_t square3) {
  int men = answeredMen.load(std::memory_order_acquire);
  if (men < 0) return NoInformation;
  if ((side != 0 && side != 1) || !validSquare(whiteKing) || !validSquare(blackKing))
    return NoInformation;
  Side white(whiteKing), black(blackKing);
  const int32_t slots[3][2] = {{piece1, square1}, {piece2, square2}, {piece3, square3}};
  for (const auto& slot : slots) {
    int32_t code = slot[0];
    if (code == 0) continue;
    if (!validSquare(slot[1])) return NoInformation;
    if (code >= 2 && code <= 6)
      white.add(GaviotaPiece[code], slot[1]);
    else if (code >= 2 + BlackPieceOffset && code <= 6 + BlackPieceOffset)
      black.add(GaviotaPiece[code - BlackPieceOffset], slot[1]);
    else
      return NoInformation;
  }
  if (white.count + black.count > men) return NoInformation;

  unsigned result = tb_UNKNOWN, plies = 0;
  {
    std::lock_guard<std::mutex> hold(tablesLock);
    if (!tb_probe_hard(unsigned(side), tb_NOSQUARE, tb_NOCASTLE, white.squares, black.squares,
                       white.pieces, black.pieces, &result, &plies))
      return NoInformation;
  }
  // Illegal positions (two men on a square, kings side by side, the side not to move in
  // check, pawns on the first or last rank) come back forbidden: no information.
  if (result == tb_DRAW) return 0;
  if (result != tb_WMATE && result != tb_BMATE) return NoInformation;
  int winner = result == tb_WMATE ? tb_WHITE_TO_MOVE : tb_BLACK_TO_MOVE;
  int32_t score = WinScore - int32_t(plies);
  return winner == side ? score : -score;
}

}  // extern "C"
