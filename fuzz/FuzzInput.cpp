#include "FuzzInput.h"

#include <unistd.h>

#include <filesystem>
#include <cstdlib>
#include <fstream>
#include <vector>

namespace lepotex::fuzz {

namespace {

// The fuzzer's files go when the process ends normally (a crash leaves them for a look).
std::vector<std::string>& Made()
{
    static std::vector<std::string> made;
    return made;
}

void RemoveMade()
{
    std::error_code ignored;
    for (const std::string& path : Made())
        std::filesystem::remove_all(path, ignored);
}

}  // namespace

std::string TempPath(std::string_view name)
{
    const std::filesystem::path shm = "/dev/shm";
    std::error_code error;
    const std::filesystem::path folder =
        std::filesystem::is_directory(shm, error) ? shm : std::filesystem::temp_directory_path();
    std::string path = (folder / ("lepotex-fuzz-" + std::to_string(getpid()) + "-" + std::string(name))).string();
    if (Made().empty())
        std::atexit(RemoveMade);
    Made().push_back(path);
    return path;
}

void WriteFile(const std::string& path, std::string_view bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), std::streamsize(bytes.size()));
    FUZZ_CHECK(out.good());
}

}  // namespace lepotex::fuzz
