#include "test_support.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "driver/run.h"
#include "text/console.h"

namespace cpg::test {

scratch_dir::scratch_dir() {
  std::string templ = (std::filesystem::temp_directory_path() / "cpgblocks-test-XXXXXX").string();
  if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path = templ;
}

scratch_dir::~scratch_dir() {
  std::error_code ec;
  std::filesystem::remove_all(path, ec);
}

void write_file(const std::string& path, const std::string& text) {
  std::ofstream f(path, std::ios::binary | std::ios::trunc);
  f << text;
  if (!f) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  if (!f) throw std::runtime_error("cannot read " + path);
  std::ostringstream s;
  s << f.rdbuf();
  return s.str();
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

void make_dir(const std::string& path) { std::filesystem::create_directories(path); }

void write_run_files(const std::string& root, int chromosome) {
  const std::string chr = std::to_string(chromosome);
  make_dir(root + "/cov/chr" + chr);
  make_dir(root + "/sel");
  make_dir(root + "/out/chr" + chr);
  write_file(root + "/samples.txt", "S1\nS2\nS3\n");
  write_file(root + "/sel/chrom" + chr + ".csv", "coord,selected\n100,1\n200,1\n300,1\n350,0\n400,1\n");
  const char* values[3][5] = {{"0.5", "0.75", "0.25", "0.9", "0.25"},
                              {"0.25", "0.5", "0.75", "0.1", "0.75"},
                              {"0.75", "0.25", "0.5", "0.3", "0.5"}};
  const int coords[5] = {100, 200, 300, 350, 400};
  for (int k = 0; k < 3; ++k) {
    std::string text = "coord,value\n";
    for (int i = 0; i < 5; ++i) text += std::to_string(coords[i]) + "," + values[k][i] + "\n";
    write_file(root + "/cov/chr" + chr + "/S" + std::to_string(k + 1) + ".csv", text);
  }
}

run_result run_in_process(const std::vector<std::string>& args, int exponent_digits) {
  std::vector<const char*> argv{"cpgblocks"};
  for (const auto& a : args) argv.push_back(a.c_str());
  argv.push_back(nullptr);
  run_result r;
  console out;
  out.capture = &r.out;
  out.exponent_digits = exponent_digits;
  r.status = run_cpgblocks(static_cast<int>(args.size()) + 1, argv.data(), out);
  flush_console(out);
  return r;
}

run_result run_binary(const std::vector<std::string>& args, const std::string& cwd,
                      const std::vector<std::string>& env) {
  scratch_dir tmp;
  std::string out_path = tmp / "stdout", err_path = tmp / "stderr";
  pid_t pid = fork();
  if (pid == 0) {
    if (chdir(cwd.c_str()) != 0) _exit(127);
    for (const auto& e : env) putenv(const_cast<char*>(e.c_str()));
    if (!freopen(out_path.c_str(), "w", stdout) || !freopen(err_path.c_str(), "w", stderr)) _exit(127);
    std::vector<char*> argv{const_cast<char*>(CPGBLOCKS_BINARY)};
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(CPGBLOCKS_BINARY, argv.data());
    _exit(127);
  }
  int st = 0;
  waitpid(pid, &st, 0);
  run_result r;
  r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128 + WTERMSIG(st);
  r.out = read_file(out_path);
  r.err = read_file(err_path);
  return r;
}

std::string mask_clock(const std::string& out) {
  // " Start at " or " Finish at " and h:m:s filling the rest of the line.
  std::string result;
  std::size_t pos = 0;
  while (pos < out.size()) {
    std::size_t nl = out.find('\n', pos);
    std::size_t end = nl == std::string::npos ? out.size() : nl;
    std::string line = out.substr(pos, end - pos);
    for (const char* head : {" Start at ", " Finish at "}) {
      std::string h = head;
      if (line.compare(0, h.size(), h) != 0) continue;
      std::string rest = line.substr(h.size());
      int colons = 0;
      bool clock = !rest.empty() && rest.front() != ':' && rest.back() != ':';
      for (std::size_t i = 0; i < rest.size() && clock; ++i) {
        if (rest[i] == ':') clock = rest[i - 1] != ':' && ++colons <= 2;
        else clock = rest[i] >= '0' && rest[i] <= '9';
      }
      if (clock && colons == 2) line = h + "H:M:S";
    }
    result += line;
    if (nl != std::string::npos) result += '\n';
    pos = end + 1;
  }
  return result;
}

}  // namespace cpg::test
