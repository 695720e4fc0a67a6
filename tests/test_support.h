// Helpers shared by the tests: a scratch directory per test, files written
// and read whole, and runs of the program in process or as a child.
#pragma once
#include <string>
#include <vector>

namespace cpg::test {

// A fresh empty directory under the system's temporary directory, removed
// with everything in it when the object goes.
struct scratch_dir {
  std::string path;  // ends without a separator
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;
  std::string operator/(const std::string& name) const { return path + "/" + name; }
};

void write_file(const std::string& path, const std::string& text);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);
void make_dir(const std::string& path);

// A small complete data set under root: three samples S1..S3 over five sites
// of the given chromosome (site 350 unselected), a selection file, and empty
// output folders. With 0.5 0.3 2 it gives the blocks 100, 200 and 300..400.
void write_run_files(const std::string& root, int chromosome);

struct run_result {
  int status = -1;
  std::string out;  // standard output
  std::string err;  // standard error (must stay empty)
};

// The program in process, its standard output captured. args exclude the program name.
run_result run_in_process(const std::vector<std::string>& args, int exponent_digits = 3);
// The built binary as a child process in directory cwd, with extra environment settings ("NAME=value").
run_result run_binary(const std::vector<std::string>& args, const std::string& cwd = ".",
                      const std::vector<std::string>& env = {});

// Standard output with the clock values of the Start and Finish lines replaced by H:M:S.
std::string mask_clock(const std::string& out);

}  // namespace cpg::test
