// Replays inputs through a fuzz target's LLVMFuzzerTestOneInput the way
// libFuzzer replays a corpus, without libFuzzer: each argument is a file, or a
// folder whose files are read in name order. A broken property aborts.

#include "FuzzSupport.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

namespace
{
// Larger than anything `make fuzz` lets libFuzzer write (-max_len).
constexpr std::uintmax_t MAX_INPUT_BYTES = 1024 * 1024;
} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i)
    {
        const fs::path path = argv[i];
        if (fs::is_directory(path))
        {
            for (const fs::directory_entry& entry : fs::directory_iterator(path))
            {
                if (entry.is_regular_file())
                    files.push_back(entry.path());
            }
        }
        else
        {
            files.push_back(path);
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty())
    {
        std::fprintf(stderr, "no inputs to replay\n");
        return 1;
    }

    for (const fs::path& file : files)
    {
        std::error_code error;
        const std::uintmax_t uiSize = fs::file_size(file, error);
        if (error || uiSize > MAX_INPUT_BYTES)
        {
            std::fprintf(stderr, "%s: unreadable or larger than %ju bytes\n", file.c_str(), MAX_INPUT_BYTES);
            return 1;
        }
        std::ifstream stream(file, std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    }
    std::printf("%zu inputs replayed\n", files.size());
    return 0;
}
