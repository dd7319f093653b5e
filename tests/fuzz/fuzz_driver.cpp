// The suite's stand-in for libFuzzer: runs one harness over files and
// folders of inputs, then over inputs made from them by a mutation loop with
// a fixed seed, so that a run in CI is short, repeatable and needs no clang.
//   DRIVER [--iterations N] [--seconds S] [--seed N] [--timeout S]
//          [--max-size BYTES] [--crash-dir DIR] PATH...
// A PATH that does not exist is skipped with a note (the shared Access files
// are optional). An input that crashes, trips a sanitizer, throws out of the
// harness or runs past the timeout is written to the crash folder first.
// UndefinedBehaviorSanitizer ends the process without telling us, so each
// input is also kept in CRASH-DIR/last-input while it runs.
#include <fcntl.h>
#include <sanitizer/common_interface_defs.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace fs = std::filesystem;

namespace {

struct options {
  long iterations = 2000;
  double seconds = 15;  // the loop stops early rather than slow down the suite
  uint32_t seed = 1;
  unsigned timeout = 20;
  size_t max_size = 4u << 20;
  std::string crash_dir = ".";
  std::vector<std::string> paths;
};

// What the handlers below need when an input brings the process down; they
// may run inside a signal handler, so the file name is made beforehand.
std::vector<uint8_t> current_input;
char crash_file[4096];
std::string last_input_file;

void write_input(const char* path) {
  int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) return;
  size_t done = 0;
  while (done < current_input.size()) {
    ssize_t n = ::write(fd, current_input.data() + done, current_input.size() - done);
    if (n <= 0) break;
    done += size_t(n);
  }
  ::close(fd);
}

void save_current_input() {
  write_input(crash_file);
  const char note[] = "fuzz driver: input written to ";
  (void)!::write(2, note, sizeof note - 1);
  (void)!::write(2, crash_file, std::strlen(crash_file));
  (void)!::write(2, "\n", 1);
}

void on_timeout(int) {
  const char note[] = "fuzz driver: input ran past the timeout\n";
  (void)!::write(2, note, sizeof note - 1);
  save_current_input();
  ::_exit(3);
}

void on_terminate() {
  const char note[] = "fuzz driver: an exception left the harness\n";
  (void)!::write(2, note, sizeof note - 1);
  if (std::exception_ptr error = std::current_exception()) {
    try {
      std::rethrow_exception(error);
    } catch (const std::exception& e) {
      std::fprintf(stderr, "  %s\n", e.what());
    } catch (...) {
    }
  }
  save_current_input();
  std::abort();
}

void run_one(const std::vector<uint8_t>& input, const std::string& name, const options& opt) {
  current_input = input;
  std::snprintf(crash_file, sizeof crash_file, "%s/crash-%s", opt.crash_dir.c_str(), name.c_str());
  write_input(last_input_file.c_str());
  ::alarm(opt.timeout);
  LLVMFuzzerTestOneInput(current_input.data(), current_input.size());
  ::alarm(0);
}

std::vector<uint8_t> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Values that sit on the edges of what readers check: counts, lengths, page
// numbers and offsets near a page's size.
constexpr uint32_t kInteresting[] = {0,    1,    0x7F,   0x80,   0xFF,   0x100,  0x7FF,  0x800,
                                     0xFFF, 0x1000, 0x7FFF, 0x8000, 0xFFFF, 0x10000, 0x7FFFFFFF,
                                     0x80000000, 0xFFFFFFFF};

class mutator {
 public:
  explicit mutator(uint32_t seed) : random_(seed) {}

  std::vector<uint8_t> make(const std::vector<std::vector<uint8_t>>& corpus, size_t max_size) {
    std::vector<uint8_t> out = corpus[below(corpus.size())];
    int steps = 1 + int(below(6));
    for (int i = 0; i < steps; ++i) mutate(out, corpus);
    if (out.size() > max_size) out.resize(max_size);
    return out;
  }

 private:
  size_t below(size_t n) { return n ? size_t(random_() % n) : 0; }

  // Mostly anywhere; now and then near the start of a 2048- or 4096-byte
  // page, where the headers of the Access file's pages are.
  size_t offset_in(const std::vector<uint8_t>& data) {
    if (data.empty()) return 0;
    if (below(3) == 0) {
      size_t page = below(2) ? 2048 : 4096;
      size_t at = below(data.size() / page + 1) * page + below(64);
      if (at < data.size()) return at;
    }
    return below(data.size());
  }

  void mutate(std::vector<uint8_t>& data, const std::vector<std::vector<uint8_t>>& corpus) {
    switch (below(9)) {
      case 0:  // flip a bit
        if (!data.empty()) data[offset_in(data)] ^= uint8_t(1u << below(8));
        break;
      case 1:  // set a byte
        if (!data.empty()) data[offset_in(data)] = uint8_t(random_());
        break;
      case 2: {  // an interesting value, 1, 2 or 4 bytes, little-endian
        if (data.empty()) break;
        uint32_t value = kInteresting[below(std::size(kInteresting))];
        size_t width = size_t(1) << below(3);
        size_t at = offset_in(data);
        for (size_t b = 0; b < width && at + b < data.size(); ++b) data[at + b] = uint8_t(value >> (8 * b));
        break;
      }
      case 3: {  // insert random bytes
        size_t at = below(data.size() + 1);
        std::vector<uint8_t> bytes(1 + below(16));
        for (uint8_t& b : bytes) b = uint8_t(random_());
        data.insert(data.begin() + long(at), bytes.begin(), bytes.end());
        break;
      }
      case 4: {  // delete a slice
        if (data.empty()) break;
        size_t at = below(data.size());
        size_t length = std::min(data.size() - at, 1 + below(below(2) ? 16 : 512));
        data.erase(data.begin() + long(at), data.begin() + long(at + length));
        break;
      }
      case 5: {  // duplicate a slice in place
        if (data.empty()) break;
        size_t at = below(data.size());
        size_t length = std::min(data.size() - at, 1 + below(64));
        std::vector<uint8_t> slice(data.begin() + long(at), data.begin() + long(at + length));
        data.insert(data.begin() + long(at), slice.begin(), slice.end());
        break;
      }
      case 6: {  // splice: this input's head, another's tail
        const std::vector<uint8_t>& other = corpus[below(corpus.size())];
        size_t cut = below(data.size() + 1);
        size_t from = below(other.size() + 1);
        data.resize(cut);
        data.insert(data.end(), other.begin() + long(from), other.end());
        break;
      }
      case 7: {  // overwrite with a slice of another input at the same offset
        const std::vector<uint8_t>& other = corpus[below(corpus.size())];
        if (other.empty() || data.empty()) break;
        size_t at = offset_in(data);
        size_t length = std::min({data.size() - at, other.size(), 1 + below(256)});
        size_t from = below(other.size() - length + 1);
        std::copy_n(other.begin() + long(from), length, data.begin() + long(at));
        break;
      }
      default: {  // cut the end off
        if (!data.empty()) data.resize(below(data.size()));
        break;
      }
    }
  }

  std::mt19937 random_;
};

bool parse(int argc, char** argv, options& opt) {
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
    const char* v = nullptr;
    if (arg == "--iterations" && (v = value())) opt.iterations = std::atol(v);
    else if (arg == "--seconds" && (v = value())) opt.seconds = std::atof(v);
    else if (arg == "--seed" && (v = value())) opt.seed = uint32_t(std::strtoul(v, nullptr, 10));
    else if (arg == "--timeout" && (v = value())) opt.timeout = unsigned(std::atoi(v));
    else if (arg == "--max-size" && (v = value())) opt.max_size = size_t(std::atol(v));
    else if (arg == "--crash-dir" && (v = value())) opt.crash_dir = v;
    else if (arg.rfind("--", 0) == 0) return false;
    else opt.paths.push_back(arg);
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  options opt;
  if (!parse(argc, argv, opt)) {
    std::fprintf(stderr,
                 "usage: %s [--iterations N] [--seconds S] [--seed N] [--timeout S] "
                 "[--max-size BYTES] [--crash-dir DIR] PATH...\n",
                 argv[0]);
    return 2;
  }
  std::set_terminate(on_terminate);
  __sanitizer_set_death_callback(save_current_input);
  ::signal(SIGALRM, on_timeout);
  fs::create_directories(opt.crash_dir);
  last_input_file = opt.crash_dir + "/last-input";

  std::vector<std::vector<uint8_t>> corpus;
  std::vector<std::string> names;
  for (const std::string& path : opt.paths) {
    std::error_code error;
    if (!fs::exists(path, error)) {
      std::printf("skipped: %s is absent\n", path.c_str());
      continue;
    }
    std::vector<fs::path> files;
    if (fs::is_directory(path)) {
      for (const auto& entry : fs::recursive_directory_iterator(path))
        if (entry.is_regular_file()) files.push_back(entry.path());
      std::sort(files.begin(), files.end());
    } else {
      files.push_back(path);
    }
    for (const fs::path& file : files) {
      corpus.push_back(read_file(file));
      names.push_back(file.filename().string());
    }
  }
  if (corpus.empty()) {
    std::fprintf(stderr, "no inputs\n");
    return 2;
  }

  // Every input as it is: seeds and the regressions of crashes found before.
  for (size_t i = 0; i < corpus.size(); ++i) run_one(corpus[i], names[i], opt);

  // Inputs too large to mutate quickly still ran above.
  std::vector<std::vector<uint8_t>> bases;
  for (const auto& input : corpus)
    if (input.size() <= opt.max_size) bases.push_back(input);
  if (bases.empty()) bases.push_back({});

  mutator mutate(opt.seed);
  auto start = std::chrono::steady_clock::now();
  long done = 0;
  for (; done < opt.iterations; ++done) {
    std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
    if (spent.count() > opt.seconds) break;
    std::vector<uint8_t> input = mutate.make(bases, opt.max_size);
    run_one(input, "seed" + std::to_string(opt.seed) + "-" + std::to_string(done), opt);
  }
  std::chrono::duration<double> spent = std::chrono::steady_clock::now() - start;
  fs::remove(last_input_file);
  std::printf("%zu inputs, then %ld mutated inputs in %.1f s (seed %u): no failure\n", corpus.size(), done,
              spent.count(), opt.seed);
  return 0;
}
