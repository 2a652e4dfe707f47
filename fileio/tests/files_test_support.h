#ifndef ZEQ_FILEIO_TESTS_FILES_TEST_SUPPORT_H
#define ZEQ_FILEIO_TESTS_FILES_TEST_SUPPORT_H

#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include <gtest/gtest.h>

namespace zeqfilestest {

// A fresh directory under ZEQ_TEST_TMP for one test, removed afterwards.
class TempDir {
public:
    TempDir() {
        static std::atomic<int> counter{0};
        const char* root = std::getenv("ZEQ_TEST_TMP");
        std::filesystem::path base = root && *root ? std::filesystem::path(root) : std::filesystem::temp_directory_path();
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = info ? std::string(info->test_suite_name()) + "-" + info->name() : "files";
        for (char& c : name) {
            if (c == '/' || c == '\\') c = '_';
        }
        mPath = base / ("files-" + name + "-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
        std::filesystem::remove_all(mPath);
        std::filesystem::create_directories(mPath);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(mPath, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& Path() const { return mPath; }
    std::string operator/(const std::string& name) const { return (mPath / name).string(); }

private:
    std::filesystem::path mPath;
};

inline void WriteFile(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
}

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace zeqfilestest

#endif
