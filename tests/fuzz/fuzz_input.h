// What the fuzz targets share: the entry point every target defines, and
// the input put into a file for the readers that take a path.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace nyajkor::fuzz {

// A folder of this process's own, removed when the process ends, so that
// targets run side by side share no file.
class InputFolder {
public:
    InputFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "nyajkor-fuzz-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) std::abort();
        path_ = pattern;
    }
    ~InputFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// The input as a file named `name` in that folder, rewritten for every input.
inline std::string inputFile(const std::uint8_t* data, std::size_t size, const std::string& name) {
    static const InputFolder folder;
    const std::string path = (folder.path() / name).string();
    std::ofstream(path, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return path;
}

// Runs `read`, taking any refusal (an exception of the program's own) as a
// clean answer; running out of memory is no answer but a fault, so it
// goes on to the fuzzer.
template <class Read>
void refusalIsFine(Read read) {
    try {
        read();
    } catch (const std::bad_alloc&) {
        throw;
    } catch (const std::exception&) {
    }
}

}  // namespace nyajkor::fuzz
