#pragma once
// A scratch folder removed with everything in it when the test ends.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>

class TempDir {
public:
    TempDir() {
        std::string templ = (std::filesystem::temp_directory_path() / "plat-XXXXXX").string();
        char* made = ::mkdtemp(templ.data());
        if (made) m_path = made;
    }
    ~TempDir() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    // The folder with a trailing '/', as the station builds paths.
    std::string Path() const { return m_path + "/"; }
    std::string File(const std::string& name) const { return Path() + name; }
    // Writes the file, making the folders of `name` on the way.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::error_code ec;
        std::filesystem::create_directories(std::filesystem::path(File(name)).parent_path(), ec);
        std::ofstream out(File(name), std::ios::binary);
        out << bytes;
        return File(name);
    }
    // The whole content of the file at `path` (empty when there is none).
    static std::string Read(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

private:
    std::string m_path;
};
